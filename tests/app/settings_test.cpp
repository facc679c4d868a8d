#include "app/encoder_app.h"
#include "app/encoder_settings.h"
#include "app/window_placement.h"
#include "support/memory_settings_store.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

using testsupport::MemorySettingsStore;

// A first start gives the defaults; the keys are read and written in their
// order.
TEST(Settings, FirstStartGivesDefaultsInReadAndWriteOrder) {
    MemorySettingsStore store;
    CEncoderApp app(store);
    app.InitProgramDirectory(QStringLiteral("/opt/corvane"));
    app.LoadSettings();
    const EncoderSettings& s = app.settings;
    EXPECT_EQ((std::vector<long long>{s.renameToMp3, s.priority, s.columns, s.deleteWhenDone,
                                      s.client, s.windowLeft, s.windowHeight}),
              (std::vector<long long>{1, 1, 31, 0, 0, -10000, -10000}));
    EXPECT_EQ(app.SourceDirectory(), QStringLiteral("/opt/corvane/"));
    EXPECT_EQ(app.OutputDirectory(), QStringLiteral("/opt/corvane/"));

    // Both orders end with the column widths and then our own setting.
    const QStringList tail = {"ColWidth1", "ColWidth2", "ColWidth3", "ColWidth4", "ColWidth5",
                              "ColWidth6", "ColWidth7", "ColWidth8", "Workers"};
    const QStringList ours = {"VBR Preset", "Stereo Mode", "Allowed Machines"};
    const QStringList expectedReads = QStringList{
        "Delete When Done",  "Minimize To Tray", "Rename to MP3", "Auto Encode",
        "Remove From Queue", "Client",           "Priority",      "Manufacturer ID",
        "Product ID",        "Channels",         "BytesPerSec",   "Window Left",
        "Window Top",        "Window Width",     "Window Height", "Window State",
        "Columns",           "Server IP",        "From Dir",      "To Dir",
    };
    EXPECT_EQ(store.readLog, expectedReads + tail + ours);

    SaveSettings(store, s);
    const QStringList expectedWrites = QStringList{
        "Delete When Done", "Minimize To Tray",  "Rename to MP3",
        "Auto Encode",      "Remove From Queue", "Priority",
        "To Dir",           "From Dir",          "Manufacturer ID",
        "Product ID",       "Channels",          "BytesPerSec",
        "Client",           "Window Left",       "Window Top",
        "Window Width",     "Window Height",     "Window State",
        "Server IP",        "Columns",
    };
    EXPECT_EQ(store.writeLog, expectedWrites + tail + ours);
    EXPECT_GE(store.flushCount, 1);
}

TEST(Settings, VbrPresetsAndTheStereoModeKeepTheFormatKeysForOlderReaders) {
    MemorySettingsStore store;
    EncoderSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.stereoMode, STEREO_MODE_JOINT); // a first start
    settings.manufacturerId = 9997;
    settings.bytesPerSec = 23750; // V2's nominal ~190 kbit/s
    SaveSettings(store, settings);
    EXPECT_EQ(store.Read({}, "BytesPerSec")->toUInt(), 24000u); // 192 kbit/s for older readers
    EXPECT_EQ(store.Read({}, "VBR Preset")->toUInt(), 2u);
    EncoderSettings loaded;
    LoadSettings(store, loaded);
    EXPECT_EQ(std::pair(loaded.bytesPerSec, loaded.stereoMode),
              std::pair(23750u, STEREO_MODE_JOINT));
    // A reader without presets chose 128 kbit/s since: the preset is stale.
    store.Write({}, "BytesPerSec", 16000u);
    // A choice stored before there were stereo modes stays plain stereo.
    store.values.remove("Stereo Mode");
    LoadSettings(store, loaded);
    EXPECT_EQ(std::pair(loaded.bytesPerSec, loaded.stereoMode),
              std::pair(16000u, STEREO_MODE_STEREO));
}

TEST(Settings, WorkersComeFromTheRunThenTheSettingAndZeroMeansEveryCore) {
    const int cores = std::clamp(int(std::thread::hardware_concurrency()), 1, MAX_WORKERS);
    // Then --jobs, which wins over the setting and asks for every core with 0 too.
    EXPECT_EQ((std::vector{ResolveWorkerCount(0), ResolveWorkerCount(1), ResolveWorkerCount(3),
                           ResolveWorkerCount(1000), ResolveWorkerCount(3, 1),
                           ResolveWorkerCount(1, 0), ResolveWorkerCount(1, -1)}),
              (std::vector{cores, 1, 3, MAX_WORKERS, 1, cores, 1}));

    MemorySettingsStore store;
    EncoderSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.workers, 0u);
    store.values["Workers"] = 4;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.workers, 4u);
}

TEST(Settings, ClientNeedsServerAddressAndTextsAreCut) {
    MemorySettingsStore store;
    store.values["Client"] = 1;
    EncoderSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings.client, 0u) << "no server address: this machine cannot be a client";

    store.values["Server IP"] = QString(40, '1');
    store.values["From Dir"] = QString(300, 'f');
    store.values["To Dir"] = QStringLiteral("/music/out");
    LoadSettings(store, settings);
    EXPECT_EQ(std::tuple(settings.client, settings.serverIp.size(), settings.fromDir.size()),
              std::tuple(1u, 31, 259));
    EXPECT_EQ(OutputDirectory(settings, "/prog/"), QStringLiteral("/music/out"));

    // Unreadable values fall back to their defaults.
    store.values["Priority"] = QStringLiteral("fast");
    store.values["Rename to MP3"] = QStringLiteral("99999999999");
    LoadSettings(store, settings);
    EXPECT_EQ(std::pair(settings.priority, settings.renameToMp3), std::pair(1u, 1u));
}

// Throughput is kept per machine and at once, not only with the other settings.
TEST(Settings, RoundTripThroughSettingsFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Encoder.conf");
    EncoderSettings written;
    written.deleteWhenDone = 1;
    written.priority = 3;
    written.windowLeft = -5;
    written.windowWidth = 800;
    written.serverIp = QStringLiteral("127.0.0.1");
    written.client = 1;
    written.fromDir = QStringLiteral("/music/in, with comma");
    written.colWidth[4] = 120;
    written.manufacturerId = 0xFFFFFFFFu;
    {
        std::unique_ptr<SettingsStore> store = OpenSettingsFile(path);
        SaveSettings(*store, written);
        EXPECT_EQ(LoadThroughput(*store, "NEVERRAN"), 0.0);
        SaveThroughput(*store, "Studio", 176.4);
        SaveThroughput(*store, "Attic", 0.25);
    }
    std::unique_ptr<SettingsStore> store = OpenSettingsFile(path);
    EncoderSettings read;
    LoadSettings(*store, read);
    // Every stored value comes back as it was written.
    MemorySettingsStore expected;
    MemorySettingsStore actual;
    SaveSettings(expected, written);
    SaveSettings(actual, read);
    EXPECT_EQ(actual.values, expected.values);
    EXPECT_DOUBLE_EQ(LoadThroughput(*store, "Studio"), 176.4);
    EXPECT_DOUBLE_EQ(LoadThroughput(*store, "Attic"), 0.25);
    EXPECT_EQ(LoadThroughput(*store, "Cellar"), 0.0);

    // A value of the wrong size counts as no measurement.
    MemorySettingsStore memory;
    memory.values["Throughput/Odd"] = QByteArray("abc");
    EXPECT_EQ(LoadThroughput(memory, "Odd"), 0.0);
}

TEST(WindowPlacement, StoredValuesAreCheckedAgainstScreenAndMinimum) {
    const QSize screen(1280, 1024);
    const QSize window(660, 460);
    EncoderSettings s;
    s.windowLeft = 100;
    s.windowTop = 50;
    s.windowWidth = 700;
    s.windowHeight = 500;
    EXPECT_EQ(PlaceWindow(screen, window, s).normal, QRect(100, 50, 700, 500));

    s.windowWidth = 400; // below the minimum width
    EXPECT_EQ(PlaceWindow(screen, window, s).normal, QRect(100, 50, 661, 500));
    s.windowWidth = 2000; // wider than the screen
    s.windowHeight = 369; // below the minimum height
    EXPECT_EQ(PlaceWindow(screen, window, s).normal, QRect(100, 50, 661, 461));

    s.windowWidth = 700;
    s.windowHeight = 500;
    s.windowLeft = -5; // off screen: centred
    EXPECT_EQ(PlaceWindow(screen, window, s).normal, QRect(310, 282, 700, 500));
    s.windowLeft = 1280 - 660; // right edge exactly on the screen's edge still fits
    EXPECT_EQ(PlaceWindow(screen, window, s).normal.left(), 620);
    s.windowLeft = 621;
    EXPECT_EQ(PlaceWindow(screen, window, s).normal.left(), 310);

    s.windowState = 2;
    EXPECT_TRUE(PlaceWindow(screen, window, s).maximised);
    s.client = 1; // a client never starts maximised
    EXPECT_FALSE(PlaceWindow(screen, window, s).maximised);
}
