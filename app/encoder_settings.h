#pragma once

#include "app/settings_store.h"

#include <QString>
#include <array>
#include <cstdint>

inline constexpr int SERVER_IP_LENGTH = 31;          // characters kept of "Server IP"
inline constexpr int DIRECTORY_LENGTH = 259;         // characters kept of "From Dir" / "To Dir"
inline constexpr int ALLOWED_MACHINES_LENGTH = 1023; // characters kept of "Allowed Machines"
inline constexpr int COLUMN_WIDTH_COUNT = 8;
inline constexpr std::int32_t WINDOW_UNSET = -10000;
inline constexpr std::uint32_t WINDOW_STATE_MAXIMISED = 2;
inline constexpr std::uint32_t ALL_COLUMNS = 31;
// "Stereo Mode" of the LAME library's formats.
inline constexpr std::uint32_t STEREO_MODE_STEREO = 0;
inline constexpr std::uint32_t STEREO_MODE_JOINT = 1;

// Every user setting, held in memory while the program runs.
struct EncoderSettings {
    std::uint32_t deleteWhenDone = 0;
    std::uint32_t minimizeToTray = 0;
    std::uint32_t renameToMp3 = 1;
    std::uint32_t autoEncode = 0;
    std::uint32_t removeFromQueue = 0;
    std::uint32_t client = 0;
    std::uint32_t priority = 1; // 0 Low, 1 Normal, 2 High, 3 "Cripple Me"
    std::uint32_t manufacturerId = 0;
    std::uint32_t productId = 0;
    std::uint32_t channels = 0;
    std::uint32_t bytesPerSec = 0; // of a VBR preset its nominal rate (app/vbr_presets.h)
    std::int32_t windowLeft = WINDOW_UNSET;
    std::int32_t windowTop = WINDOW_UNSET;
    std::int32_t windowHeight = WINDOW_UNSET;
    std::int32_t windowWidth = WINDOW_UNSET;
    std::uint32_t windowState = 0;
    std::array<std::uint32_t, COLUMN_WIDTH_COUNT> colWidth{}; // 0: the list's default
    QString fromDir;                                          // at most DIRECTORY_LENGTH characters
    QString toDir;                                            // at most DIRECTORY_LENGTH characters
    QString serverIp;                                         // at most SERVER_IP_LENGTH characters
    std::uint32_t columns = ALL_COLUMNS;
    std::uint32_t workers = 0; // files encoded at once here; 0: one per CPU core
    // Joint stereo on a first start; a choice stored before there was one stays Stereo.
    std::uint32_t stereoMode = STEREO_MODE_JOINT;
    // Addresses and subnets of the machines that may log in to this server;
    // empty: this machine's own subnets and loopback.
    QString allowedMachines;
};

// Reads every value in its fixed order; missing values take their defaults,
// texts are cut to their fields, and "Client" is forced off without a server.
void LoadSettings(const SettingsStore& store, EncoderSettings& settings);
// Writes every value in its fixed order.
void SaveSettings(SettingsStore& store, const EncoderSettings& settings);

// Measured encoding rate of a machine, bytes of source per millisecond; 0.0
// when none was stored. Written at once, not with the other settings.
double LoadThroughput(const SettingsStore& store, const QString& machineName);
void SaveThroughput(SettingsStore& store, const QString& machineName, double rate);

// The number of local workers: `jobs` when given (a run's override, >= 0),
// else "Workers"; 0 means one per CPU core. At least 1, at most MAX_WORKERS.
inline constexpr int MAX_WORKERS = 64;
int ResolveWorkerCount(std::uint32_t workersSetting, int jobs = -1);

// "From Dir" / "To Dir", or the program directory when empty.
QString SourceDirectory(const EncoderSettings& settings, const QString& programDirectory);
QString OutputDirectory(const EncoderSettings& settings, const QString& programDirectory);
