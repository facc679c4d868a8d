#pragma once

#include <QString>
#include <cstdint>

class QObject;

// The encoding worker as the scheduler drives it: one encode at a time, which
// reports to `receiver` with MSG_ENCODE_PROGRESS and exactly one
// MSG_ENCODE_DONE (wParam 1 success, 0 failure; payload the source path).
class EncodePort {
public:
    virtual ~EncodePort() = default;
    // False when nothing was started (and no completion will be posted).
    virtual bool StartEncode(QObject* receiver, int priority, const QString& sourcePath,
                             const QString& outputPath, int driverIndex, int formatIndex,
                             double* audioSeconds) = 0;
    virtual void PauseEncode() = 0;
    virtual void ResumeEncode() = 0;
    virtual void CancelEncode() = 0;
    virtual bool IsEncodeCancelled() const = 0;
    virtual void SetEncodePriority(int level) = 0;
};

// The encoder catalogue as the controller uses it.
class CodecPort {
public:
    virtual ~CodecPort() = default;
    // "Codec: %s with %s" for the chosen encoder and format, writing the choice
    // found back into the four ids; empty when none can be found.
    virtual QString DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                                  std::uint32_t* channels, std::uint32_t* bytesPerSec) = 0;
    // Catalogue indices of the stored choice: a stored encoder that is gone
    // gets its stand-in (see StandInFor); 0 for anything else not found.
    virtual void ResolveIndices(std::uint32_t manufacturerId, std::uint32_t productId,
                                std::uint32_t channels, std::uint32_t bytesPerSec, int* driverIndex,
                                int* formatIndex) = 0;
    // Catalogue indices of exactly this encoder and format; false when the
    // catalogue lacks either (no stand-in is chosen).
    virtual bool FindCodec(std::uint32_t manufacturerId, std::uint32_t productId,
                           std::uint32_t channels, std::uint32_t bytesPerSec, int* driverIndex,
                           int* formatIndex) = 0;
    // The name of the encoder that stands in for a stored one the catalogue
    // lacks (the first MP3 library); empty when the stored one is there.
    virtual QString StandInFor(std::uint32_t /*manufacturerId*/, std::uint32_t /*productId*/) {
        return QString();
    }
};
