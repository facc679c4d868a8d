#pragma once

#include "engines/catalogue_sources.h"
#include "platform/acm_types.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class EncodeControl;
class QObject;

// Driver numbers of the encoders outside the compression manager; they are
// also their manufacturer and product ids.
inline constexpr std::uint32_t XING_DRIVER_ID = 9999;
inline constexpr std::uint32_t BLADE_DRIVER_ID = 9998;
inline constexpr std::uint32_t LAME_DRIVER_ID = 9997;

// Beyond these, further drivers and formats are left out.
inline constexpr int CATALOGUE_MAX_DRIVERS = 32;
inline constexpr int CATALOGUE_MAX_FORMATS = 128;

inline constexpr int CATALOGUE_SHORT_NAME_CHARS = 31;
inline constexpr int CATALOGUE_LONG_NAME_CHARS = 127;
inline constexpr int CATALOGUE_DESCRIPTION_CHARS = 127;
inline constexpr int CATALOGUE_PATH_CHARS = 259;

struct CatalogueDriver {
    std::uint32_t id = 0;
    std::uint32_t manufacturerId = 0;
    std::uint32_t productId = 0;
    std::uint32_t acmVersion = 0;
    std::uint32_t driverVersion = 0;
    std::uint32_t supportFlags = 0;
    std::uint32_t formatTagCount = 0;
    std::uint32_t filterTagCount = 0;
    QString shortName; // at most CATALOGUE_SHORT_NAME_CHARS
    QString longName;  // at most CATALOGUE_LONG_NAME_CHARS
};

struct CatalogueFormat {
    QString description; // at most CATALOGUE_DESCRIPTION_CHARS
    WAVEFORMATEX format; // a VBR format gives its preset's nominal byte rate
    int vbrQuality = -1; // 0 to 9: a VBR preset of the LAME library or x3enc
};

// "%d kBit/s, %s, %s  %d KB/s": bit rate, grouped sample rate, Mono/Stereo, kilobytes.
QString FormatDescription(const WAVEFORMATEX& format);
// "VBR V%d, ~%d kBit/s, %s, %s": preset, nominal bit rate, rate, Mono/Stereo.
QString VbrFormatDescription(int quality, const WAVEFORMATEX& format);

// Everything the program can encode with, and the output formats of each.
// A choice is kept as manufacturer id, product id, channels and average bytes
// per second and found again here by value.
class EncoderCatalogue {
public:
    EncoderCatalogue() = default;
    virtual ~EncoderCatalogue();
    EncoderCatalogue(const EncoderCatalogue&) = delete;
    EncoderCatalogue& operator=(const EncoderCatalogue&) = delete;

    // Compression-manager codecs that make something from 44100 Hz 16-bit
    // stereo PCM, then the external encoder, then the two libraries. Returns
    // the driver count, 0 when the driver enumeration itself fails.
    int Build(const CatalogueSources& sources);
    void Clear();

    int DriverCount() const { return static_cast<int>(entries.size()); }
    int FormatCount(int driver) const;
    const CatalogueDriver* Driver(int driver) const;
    const CatalogueFormat* Format(int driver, int format) const;
    // The external encoder program; empty when it was not found.
    const QString& ExternalEncoderPath() const { return externalEncoderPath; }

    int DriverNames(QStringList& names) const;
    // The default position is the last format of 16000 bytes per second, or 0.
    // An invalid driver gives 0 formats and the default position -1.
    int FormatNames(int driver, QStringList& names, int& defaultPosition) const;
    void DriverIds(int driver, std::uint32_t& manufacturerId, std::uint32_t& productId) const;
    void FormatFacts(int driver, int format, std::uint32_t& channels,
                     std::uint32_t& avgBytesPerSec) const;
    // Whether the stereo mode (Stereo or Joint Stereo) can be chosen: the
    // LAME library's formats only.
    bool HasStereoModes(int driver) const;

    int FindDriverExactly(std::uint32_t manufacturerId, std::uint32_t productId) const;
    int FindFormatExactly(int driver, std::uint32_t channels, std::uint32_t avgBytesPerSec) const;
    // Failing an exact match: the last driver of the same manufacturer.
    int FindDriverLoosely(std::uint32_t manufacturerId, std::uint32_t productId) const;
    // Failing an exact match: the first of the highest rate among equal channels.
    int FindFormatLoosely(int driver, std::uint32_t channels, std::uint32_t avgBytesPerSec) const;

    // Finds the chosen driver (or, with manufacturer id 0, the preferred one:
    // the professional MP3 codec, Blade, LAME, the external encoder, else the
    // first listed), writes its ids back and gives its long name. -1 when
    // there is none.
    int SelectDriver(QString& longName, std::uint32_t& manufacturerId,
                     std::uint32_t& productId) const;
    // Finds the chosen format (2 channels and 16000 bytes per second when 0),
    // writes its facts back and gives its description.
    bool SelectFormat(int driver, QString& description, std::uint32_t& channels,
                      std::uint32_t& avgBytesPerSec) const;

    // Encoding one file, through the program's first worker (EncodeControl).
    // 1 when the encode runs and MSG_ENCODE_DONE will follow, 0 when it did
    // not start (invalid indexes give no message).
    int StartEncode(QObject* window, int priority, const QString& source,
                    const QString& destination, int driver, int format, double* seconds);
    // The same on another worker, for several files at once; `jointStereo`
    // applies where HasStereoModes says so.
    int StartEncodeOn(EncodeControl& control, QObject* window, int priority, const QString& source,
                      const QString& destination, int driver, int format, double* seconds,
                      bool jointStereo = false) const;
    void PauseEncode();
    void ResumeEncode();
    void SetEncodePriority(int level);
    void CancelEncode();
    bool IsEncodeCancelled() const;
    bool IsExternalEncoderRunning() const;

private:
    struct Entry {
        CatalogueDriver driver;
        std::vector<CatalogueFormat> formats;
    };

    bool AddAcmDrivers();
    void AddAcmDriver(HACMDRIVERID driverId);
    void AddExternalEncoder(const CatalogueSources& sources);
    void AddFixedDriver(std::uint32_t id, const char* label,
                        const std::vector<std::uint32_t>& byteRates, bool withVbr);
    bool Full() const { return DriverCount() >= CATALOGUE_MAX_DRIVERS; }

    std::vector<Entry> entries;
    QString externalEncoderPath;
};
