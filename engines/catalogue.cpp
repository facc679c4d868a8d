#include "engines/catalogue.h"

#include "app/locale_format.h"
#include "app/strings.h"
#include "app/vbr_presets.h"
#include "platform/acm.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr unsigned IDS_STEREO = 33012;
constexpr unsigned IDS_MONO = 33013;

const std::vector<std::uint32_t> XING_BYTE_RATES = {40000, 32000, 28000, 24000, 20000,
                                                    16000, 14000, 12000, 10000, 8000};
const std::vector<std::uint32_t> LIBRARY_BYTE_RATES = {
    40000, 32000, 28000, 24000, 20000, 16000, 14000, 12000, 10000, 8000, 7000, 6000, 5000, 4000};

QString Bounded(const QString& text, int limit) {
    return text.size() <= limit ? text : text.left(limit);
}

} // namespace

QString VbrFormatDescription(int quality, const WAVEFORMATEX& format) {
    const QString channels = ResString(format.nChannels == 1 ? IDS_MONO : IDS_STEREO);
    return QStringLiteral("VBR V%1, ~%2 kBit/s, %3, %4")
        .arg(quality)
        .arg(format.nAvgBytesPerSec * 8ULL / 1000)
        .arg(FormatUnsigned(format.nSamplesPerSec), channels);
}

QString FormatDescription(const WAVEFORMATEX& format) {
    const unsigned kiloBits = static_cast<unsigned>(format.nAvgBytesPerSec * 8ULL / 1000);
    const QString channels = ResString(format.nChannels == 1 ? IDS_MONO : IDS_STEREO);
    const QString text = QString::asprintf(
        "%u kBit/s, %s, %s  %u KB/s", kiloBits,
        FormatUnsigned(format.nSamplesPerSec).toUtf8().constData(), channels.toUtf8().constData(),
        static_cast<unsigned>(format.nAvgBytesPerSec / 1000));
    return Bounded(text, CATALOGUE_DESCRIPTION_CHARS);
}

EncoderCatalogue::~EncoderCatalogue() = default;

int EncoderCatalogue::Build(const CatalogueSources& sources) {
    Clear();
    if (!AddAcmDrivers()) {
        Clear();
        return 0;
    }
    AddExternalEncoder(sources);
    if (sources.isLibraryAvailable && sources.isLibraryAvailable(0)) {
        AddFixedDriver(BLADE_DRIVER_ID, "Blade's MP3 Encoder", LIBRARY_BYTE_RATES, false);
    }
    if (sources.isLibraryAvailable && sources.isLibraryAvailable(1)) {
        AddFixedDriver(LAME_DRIVER_ID, "LAME Encoder", LIBRARY_BYTE_RATES, true);
    }
    return DriverCount();
}

void EncoderCatalogue::Clear() {
    entries.clear();
    externalEncoderPath.clear();
}

bool EncoderCatalogue::AddAcmDrivers() {
    std::vector<HACMDRIVERID> codecs;
    const MMRESULT result = acmDriverEnum(
        [&codecs](HACMDRIVERID id, std::uintptr_t, std::uint32_t support) {
            // Converters and filters cannot make a compressed format.
            if (support & ACMDRIVERDETAILS_SUPPORTF_CODEC) {
                codecs.push_back(id);
            }
            return true;
        },
        0, 0);
    if (result != MMSYSERR_NOERROR) {
        return false;
    }
    for (HACMDRIVERID id : codecs) {
        if (Full()) {
            break;
        }
        AddAcmDriver(id);
    }
    return true;
}

void EncoderCatalogue::AddAcmDriver(HACMDRIVERID driverId) {
    ACMDRIVERDETAILS details;
    if (acmDriverDetails(driverId, &details, 0) != MMSYSERR_NOERROR) {
        return;
    }
    Entry entry;
    CatalogueDriver& driver = entry.driver;
    driver.id = driverId;
    driver.manufacturerId = details.wMid;
    driver.productId = details.wPid;
    driver.acmVersion = details.vdwACM;
    driver.driverVersion = details.vdwDriver;
    driver.supportFlags = details.fdwSupport;
    driver.formatTagCount = details.cFormatTags;
    driver.filterTagCount = details.cFilterTags;
    driver.shortName =
        Bounded(QString::fromStdString(details.szShortName), CATALOGUE_SHORT_NAME_CHARS);
    driver.longName =
        Bounded(QString::fromStdString(details.szLongName), CATALOGUE_LONG_NAME_CHARS);

    HACMDRIVER open{};
    if (acmDriverOpen(&open, driverId, 0) != MMSYSERR_NOERROR) {
        return;
    }
    std::uint32_t largest = 0;
    if (acmMetrics(open, ACM_METRIC_MAX_SIZE_FORMAT, &largest) == MMSYSERR_NOERROR) {
        ACMFORMATDETAILS request;
        request.dwFormatTag = WAVE_FORMAT_UNKNOWN;
        request.pwfx = WAVEFORMATEX::Pcm(2, 44100, 16);
        request.cbwfx = largest;
        acmFormatEnum(
            open, &request,
            [&entry](HACMDRIVERID, ACMFORMATDETAILS& found, std::uintptr_t, std::uint32_t) {
                if (entry.formats.size() >= CATALOGUE_MAX_FORMATS) {
                    return false;
                }
                entry.formats.push_back(CatalogueFormat{FormatDescription(found.pwfx), found.pwfx});
                return true;
            },
            static_cast<std::uintptr_t>(entries.size()), ACM_FORMATENUMF_CONVERT);
    }
    acmDriverClose(open, 0);
    if (!entry.formats.empty()) {
        entries.push_back(std::move(entry));
    }
}

void EncoderCatalogue::AddExternalEncoder(const CatalogueSources& sources) {
    if (!sources.externalEncoderFolder || Full()) {
        return;
    }
    const std::optional<QString> folder = sources.externalEncoderFolder();
    // A value too long for the program's path buffers is as good as none.
    if (!folder || folder->isEmpty() || folder->size() > CATALOGUE_PATH_CHARS) {
        return;
    }
    QString path = *folder;
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QDir::separator())) {
        path += QLatin1Char('/');
    }
    path += ExternalEncoderFileName();
    const QFileInfo program(path);
    const QString found = QDir::cleanPath(program.absoluteFilePath());
    if (!program.isFile() || found.size() > CATALOGUE_PATH_CHARS) {
        return;
    }
    externalEncoderPath = found;
    AddFixedDriver(XING_DRIVER_ID, "XingMP3 Encoder", XING_BYTE_RATES, true);
}

void EncoderCatalogue::AddFixedDriver(std::uint32_t id, const char* label,
                                      const std::vector<std::uint32_t>& byteRates, bool withVbr) {
    if (Full()) {
        return;
    }
    Entry entry;
    entry.driver.id = id;
    entry.driver.manufacturerId = id;
    entry.driver.productId = id;
    entry.driver.shortName = QString::fromLatin1(label);
    entry.driver.longName = entry.driver.shortName;
    for (std::uint32_t byteRate : byteRates) {
        WAVEFORMATEX format;
        format.nChannels = 2;
        format.nSamplesPerSec = 44100;
        format.wBitsPerSample = 16;
        format.nAvgBytesPerSec = byteRate;
        entry.formats.push_back(CatalogueFormat{FormatDescription(format), format});
    }
    // After the constant bitrates, so the stored choices find theirs by value
    // as before; the nominal byte rates are none of theirs.
    for (int quality = 0; withVbr && quality < VBR_PRESET_COUNT; ++quality) {
        WAVEFORMATEX format;
        format.nChannels = 2;
        format.nSamplesPerSec = 44100;
        format.wBitsPerSample = 16;
        format.nAvgBytesPerSec = VbrPresetNominalBytes(quality);
        entry.formats.push_back(
            CatalogueFormat{VbrFormatDescription(quality, format), format, quality});
    }
    entries.push_back(std::move(entry));
}
