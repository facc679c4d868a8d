#include "app/encoder_settings.h"

#include "app/vbr_presets.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <thread>

namespace {

const QString THROUGHPUT_GROUP = QStringLiteral("Throughput");
constexpr std::uint32_t NO_VBR_PRESET = 0xFFFFFFFF;

QString ColumnWidthName(int index) {
    return QStringLiteral("ColWidth%1").arg(index + 1);
}

} // namespace

void LoadSettings(const SettingsStore& store, EncoderSettings& s) {
    s.deleteWhenDone = ReadDword(store, QStringLiteral("Delete When Done"), 0);
    s.minimizeToTray = ReadDword(store, QStringLiteral("Minimize To Tray"), 0);
    s.renameToMp3 = ReadDword(store, QStringLiteral("Rename to MP3"), 1);
    s.autoEncode = ReadDword(store, QStringLiteral("Auto Encode"), 0);
    s.removeFromQueue = ReadDword(store, QStringLiteral("Remove From Queue"), 0);
    s.client = ReadDword(store, QStringLiteral("Client"), 0);
    s.priority = ReadDword(store, QStringLiteral("Priority"), 1);
    s.manufacturerId = ReadDword(store, QStringLiteral("Manufacturer ID"), 0);
    s.productId = ReadDword(store, QStringLiteral("Product ID"), 0);
    s.channels = ReadDword(store, QStringLiteral("Channels"), 0);
    s.bytesPerSec = ReadDword(store, QStringLiteral("BytesPerSec"), 0);
    const auto unset = static_cast<std::uint32_t>(WINDOW_UNSET);
    s.windowLeft =
        static_cast<std::int32_t>(ReadDword(store, QStringLiteral("Window Left"), unset));
    s.windowTop = static_cast<std::int32_t>(ReadDword(store, QStringLiteral("Window Top"), unset));
    s.windowWidth =
        static_cast<std::int32_t>(ReadDword(store, QStringLiteral("Window Width"), unset));
    s.windowHeight =
        static_cast<std::int32_t>(ReadDword(store, QStringLiteral("Window Height"), unset));
    s.windowState = ReadDword(store, QStringLiteral("Window State"), 0);
    s.columns = ReadDword(store, QStringLiteral("Columns"), ALL_COLUMNS);
    s.serverIp = ReadString(store, QStringLiteral("Server IP"), QString(), SERVER_IP_LENGTH);
    s.fromDir = ReadString(store, QStringLiteral("From Dir"), QString(), DIRECTORY_LENGTH);
    s.toDir = ReadString(store, QStringLiteral("To Dir"), QString(), DIRECTORY_LENGTH);
    for (int i = 0; i < COLUMN_WIDTH_COUNT; ++i) {
        s.colWidth[i] = ReadDword(store, ColumnWidthName(i), 0);
    }
    // Ours, after the fixed order of the others.
    s.workers = ReadDword(store, QStringLiteral("Workers"), 0);
    // A preset counts only while the stored format is still its stand-in: a
    // program that knows no presets may have chosen another since.
    const std::uint32_t preset = ReadDword(store, QStringLiteral("VBR Preset"), NO_VBR_PRESET);
    if (preset < VBR_PRESET_COUNT && s.bytesPerSec == VbrPresetStandInBytes(int(preset))) {
        s.bytesPerSec = VbrPresetNominalBytes(int(preset));
    }
    s.stereoMode = ReadDword(store, QStringLiteral("Stereo Mode"),
                             s.manufacturerId == 0 ? STEREO_MODE_JOINT : STEREO_MODE_STEREO);
    s.allowedMachines =
        ReadString(store, QStringLiteral("Allowed Machines"), QString(), ALLOWED_MACHINES_LENGTH);
    if (s.serverIp.isEmpty()) {
        s.client = 0;
    }
}

void SaveSettings(SettingsStore& store, const EncoderSettings& s) {
    WriteDword(store, QStringLiteral("Delete When Done"), s.deleteWhenDone);
    WriteDword(store, QStringLiteral("Minimize To Tray"), s.minimizeToTray);
    WriteDword(store, QStringLiteral("Rename to MP3"), s.renameToMp3);
    WriteDword(store, QStringLiteral("Auto Encode"), s.autoEncode);
    WriteDword(store, QStringLiteral("Remove From Queue"), s.removeFromQueue);
    WriteDword(store, QStringLiteral("Priority"), s.priority);
    WriteString(store, QStringLiteral("To Dir"), s.toDir.left(DIRECTORY_LENGTH));
    WriteString(store, QStringLiteral("From Dir"), s.fromDir.left(DIRECTORY_LENGTH));
    WriteDword(store, QStringLiteral("Manufacturer ID"), s.manufacturerId);
    WriteDword(store, QStringLiteral("Product ID"), s.productId);
    WriteDword(store, QStringLiteral("Channels"), s.channels);
    const std::optional<int> preset = VbrPresetOfBytes(s.bytesPerSec);
    WriteDword(store, QStringLiteral("BytesPerSec"),
               preset ? VbrPresetStandInBytes(*preset) : s.bytesPerSec);
    WriteDword(store, QStringLiteral("Client"), s.client);
    WriteSignedDword(store, QStringLiteral("Window Left"), s.windowLeft);
    WriteSignedDword(store, QStringLiteral("Window Top"), s.windowTop);
    WriteSignedDword(store, QStringLiteral("Window Width"), s.windowWidth);
    WriteSignedDword(store, QStringLiteral("Window Height"), s.windowHeight);
    WriteDword(store, QStringLiteral("Window State"), s.windowState);
    WriteString(store, QStringLiteral("Server IP"), s.serverIp.left(SERVER_IP_LENGTH));
    WriteDword(store, QStringLiteral("Columns"), s.columns);
    for (int i = 0; i < COLUMN_WIDTH_COUNT; ++i) {
        WriteDword(store, ColumnWidthName(i), s.colWidth[i]);
    }
    WriteDword(store, QStringLiteral("Workers"), s.workers);
    WriteDword(store, QStringLiteral("VBR Preset"),
               preset ? std::uint32_t(*preset) : NO_VBR_PRESET);
    WriteDword(store, QStringLiteral("Stereo Mode"), s.stereoMode);
    WriteString(store, QStringLiteral("Allowed Machines"),
                s.allowedMachines.left(ALLOWED_MACHINES_LENGTH));
    store.Flush();
}

int ResolveWorkerCount(std::uint32_t workersSetting, int jobs) {
    const std::uint32_t wanted = jobs >= 0 ? std::uint32_t(jobs) : workersSetting;
    if (wanted == 0) {
        const unsigned cores = std::thread::hardware_concurrency();
        return std::clamp(int(cores), 1, MAX_WORKERS);
    }
    return int(std::min<std::uint32_t>(wanted, MAX_WORKERS));
}

double LoadThroughput(const SettingsStore& store, const QString& machineName) {
    const std::optional<QVariant> value = store.Read(THROUGHPUT_GROUP, machineName);
    if (!value || value->typeId() != QMetaType::QByteArray) {
        return 0.0;
    }
    const QByteArray bytes = value->toByteArray();
    if (bytes.size() != static_cast<int>(sizeof(double))) {
        return 0.0;
    }
    // Stored as the 8 bytes of a little-endian double.
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData());
    double rate = 0.0;
    std::memcpy(&rate, &bits, sizeof rate);
    return rate;
}

void SaveThroughput(SettingsStore& store, const QString& machineName, double rate) {
    quint64 bits = 0;
    std::memcpy(&bits, &rate, sizeof rate);
    QByteArray bytes(sizeof(double), '\0');
    qToLittleEndian(bits, bytes.data());
    if (store.Write(THROUGHPUT_GROUP, machineName, bytes)) {
        store.Flush();
    }
}

QString SourceDirectory(const EncoderSettings& settings, const QString& programDirectory) {
    return settings.fromDir.isEmpty() ? programDirectory : settings.fromDir;
}

QString OutputDirectory(const EncoderSettings& settings, const QString& programDirectory) {
    return settings.toDir.isEmpty() ? programDirectory : settings.toDir;
}
