#include "engines/catalogue.h"
#include "packaging/installed_program.h"
#include "platform/acm_libav_encoder.h"
#include "support/free_port.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using packagingtest::RunTool;

const QString STATE = QStringLiteral("/var/lib/corvane-encoder");

// The program the package installed, used as a user and as the service would.
void UseInstalledProgram() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("corvane-encoder"));
    ASSERT_EQ(program, QStringLiteral("/usr/bin/corvane-encoder"));
    EXPECT_TRUE(
        RunTool(program, {"--version"}).said.startsWith(QStringLiteral("corvane-encoder ")));

    // One file with each kind of encoder, each told apart by what it writes.
    packagingtest::ScratchHome home;
    const packagingtest::Encoded codec = home.Encode(program, CORVANE_ACM_MANUFACTURER_ID, 1);
    EXPECT_TRUE(codec.output.startsWith("RIFF")) << codec.trace.toStdString();
    const packagingtest::Encoded blade = home.Encode(program, BLADE_DRIVER_ID, BLADE_DRIVER_ID);
    EXPECT_TRUE(blade.output.startsWith("ID3") && !blade.output.contains("LAME"));
    const packagingtest::Encoded lame = home.Encode(program, LAME_DRIVER_ID, LAME_DRIVER_ID);
    EXPECT_TRUE(lame.output.startsWith("ID3") && lame.output.contains("LAME"));
    const packagingtest::Encoded xing = home.Encode(program, XING_DRIVER_ID, XING_DRIVER_ID);
    EXPECT_TRUE(xing.output.startsWith("ID3"));
    EXPECT_TRUE(
        xing.trace.contains(QStringLiteral("ExternalEncoder: the encoder ended. exit code = 0")))
        << xing.trace.toStdString();

    // As the system service runs: its user, in the folder the package made.
    EXPECT_EQ(QFileInfo(STATE).owner(), QStringLiteral("corvane"));
    ASSERT_TRUE(QFile::copy(home.Path("in/tone9998-9998.wav"), STATE + "/farm.wav"));
    {
        QSettings settings(STATE + "/Encoder.conf", QSettings::IniFormat);
        settings.setValue(QStringLiteral("From Dir"), STATE);
        settings.setValue(QStringLiteral("To Dir"), STATE);
    }
    packagingtest::Ran ran =
        RunTool("runuser",
                QStringList{"-u", "corvane", "--", "env", "HOME=" + STATE, program, "--headless",
                            "--settings", STATE + "/Encoder.conf", STATE + "/farm.wav"} +
                    testsupport::LoopbackServingOptions(),
                STATE);
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    EXPECT_TRUE(QFileInfo(STATE + "/farm.MP3").size() > 1000) << ran.said.toStdString();

    if (!QStandardPaths::findExecutable(QStringLiteral("systemd-analyze")).isEmpty()) {
        ran = RunTool("systemd-analyze",
                      {"verify", "--man=no", "/usr/lib/systemd/system/corvane-encoder.service"});
        EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    }
    ran = RunTool("man", {"-w", "corvane-encoder"});
    EXPECT_EQ(ran.said.trimmed(), QStringLiteral("/usr/share/man/man1/corvane-encoder.1.gz"));
    const QStringList metainfo = QDir("/usr/share/metainfo").entryList({"*corvane*.xml"});
    ASSERT_EQ(metainfo.size(), 1);
    ran = RunTool("appstreamcli", {"validate", "--no-net", "/usr/share/metainfo/" + metainfo[0]});
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    ran = RunTool("desktop-file-validate", {"/usr/share/applications/corvane-encoder.desktop"});
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.isEmpty()) << ran.said.toStdString();

    // The listing's screenshots are the pictures the installed program draws.
    QFile listing("/usr/share/metainfo/" + metainfo[0]);
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    QProcessEnvironment offscreen = home.Environment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ran = RunTool(program, {"--screenshot", home.Path("shots")}, QString(), offscreen);
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    static const QRegularExpression IMAGE(QStringLiteral("<image>[^<]*/([^</]+)</image>"));
    int images = 0;
    for (const QRegularExpressionMatch& image : IMAGE.globalMatch(listing.readAll())) {
        ++images;
        EXPECT_TRUE(QFileInfo::exists(home.Path("shots/" + image.captured(1))))
            << image.captured(1).toStdString();
    }
    EXPECT_GT(images, 0);
}

// The package this build makes, built, checked, installed with apt-get as a
// user would, used, and purged again. Root only: it changes the machine.
TEST(DebianPackage, BuildsCleanInstallsWorksAndPurgesWithoutATrace) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root (CI runs it): it installs the .deb with apt-get and purges it";
    }
    for (const char* tool : {"cpack", "lintian", "apt-get", "man", "appstreamcli",
                             "desktop-file-validate", "runuser"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            if (qEnvironmentVariableIsSet("CI")) {
                FAIL() << tool << " is missing: add its package to scripts/dev.sh";
            }
            GTEST_SKIP() << tool << " is missing: scripts/dev.sh installs it";
        }
    }
    if (RunTool("dpkg-query", {"-W", "-f=${Status}", "corvane-encoder"})
            .said.contains(QStringLiteral("install ok installed"))) {
        GTEST_SKIP() << "corvane-encoder is installed here already; the test would purge it";
    }
    // Runs of this test on one machine take turns.
    QLockFile lock(QDir::temp().filePath(QStringLiteral("corvane-encoder-package-test.lock")));
    ASSERT_TRUE(lock.tryLock(30 * 60 * 1000));
    QTemporaryDir dist;
    QProcessEnvironment quiet = QProcessEnvironment::systemEnvironment();
    quiet.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    auto apt = [&](const QStringList& arguments) {
        return RunTool("apt-get", QStringList{"-y", "-o", "DPkg::Lock::Timeout=600"} + arguments,
                       dist.path(), quiet);
    };

    packagingtest::Ran ran = RunTool(
        CORVANE_CPACK, {"--config", CORVANE_BUILD_DIR "/CPackConfig.cmake", "-B", dist.path()});
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    const QStringList debs = QDir(dist.path()).entryList({"corvane-encoder_*.deb"});
    ASSERT_EQ(debs.size(), 1);
    ran = RunTool("lintian", {"--fail-on", "error,warning", debs[0]}, dist.path());
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();

    ran = apt({"install", "./" + debs[0]});
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    const QStringList files =
        RunTool("dpkg", {"-L", "corvane-encoder"}).said.split(u'\n', Qt::SkipEmptyParts);
    UseInstalledProgram();
    ran = apt({"purge", "corvane-encoder"});
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    for (const QString& file : files + QStringList{STATE}) {
        EXPECT_FALSE(file.contains(QStringLiteral("corvane")) && QFileInfo::exists(file))
            << file.toStdString() << " is left";
    }
}

} // namespace
