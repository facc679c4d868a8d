#include "app/install_layout.h"
#include "support/free_port.h"
#include "support/wav_builder.h"
#include "ui/dialogs/help.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// `cmake --install` of this build into a scratch DESTDIR.
class Install : public testing::Test {
protected:
    void SetUp() override {
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), root.path());
        install.setProcessEnvironment(environment);
        install.start(QStringLiteral(CORVANE_CMAKE),
                      {"--install", QStringLiteral(CORVANE_BUILD_DIR)});
        ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0)
            << (install.readAllStandardOutput() + install.readAllStandardError()).toStdString();
    }

    // The one installed file whose path ends with `suffix`; empty unless exactly one.
    QString Find(const QString& suffix) const {
        QStringList found;
        QDirIterator it(root.path(), QDir::Files | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (const QString path = it.next(); path.endsWith(suffix)) {
                found.append(path);
            }
        }
        return found.size() == 1 ? found[0] : QString();
    }

    // The unit's text with its program moved under DESTDIR, and that program.
    std::pair<QString, QString> Unit(const QString& kind) const {
        QFile file(Find(QStringLiteral("/systemd/%1/corvane-encoder.service").arg(kind)));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QString unit = QString::fromUtf8(file.readAll());
        static const QRegularExpression EXEC(QStringLiteral("^ExecStart=(\\S+)"),
                                             QRegularExpression::MultilineOption);
        const QString program = EXEC.match(unit).captured(1);
        unit.replace(QStringLiteral("ExecStart=") + program,
                     QStringLiteral("ExecStart=") + root.path() + program);
        return {unit, root.path() + program};
    }

    QTemporaryDir root;
};

TEST_F(Install, PutsTheProgramItsEncodersAndBothUnitsInPlace) {
    EXPECT_FALSE(Find(QStringLiteral("/libBladeEnc.so")).isEmpty());
    EXPECT_FALSE(Find(QStringLiteral("/liblame_enc.so")).isEmpty());
    EXPECT_FALSE(Find(QStringLiteral("/x3enc")).isEmpty());
    for (const QString& kind : {QStringLiteral("system"), QStringLiteral("user")}) {
        const auto [unit, program] = Unit(kind);
        ASSERT_FALSE(unit.isEmpty()) << kind.toStdString();
        EXPECT_TRUE(unit.contains(QStringLiteral(" --headless --settings ")));
        EXPECT_TRUE(unit.contains(QStringLiteral("\nKillSignal=SIGTERM\n")));
        EXPECT_TRUE(unit.contains(QStringLiteral("\nRestart=on-failure\n")));
        EXPECT_FALSE(unit.contains(u'@')) << "unconfigured placeholder";
        // The unit's program is the installed one, and it runs from there.
        QProcess run;
        run.start(program, {"--version"});
        ASSERT_TRUE(run.waitForFinished(10000)) << program.toStdString();
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_TRUE(run.readAllStandardOutput().startsWith("corvane-encoder "));
    }
}

TEST_F(Install, UnitsPassSystemdVerification) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) {
        GTEST_SKIP() << "systemd-analyze is not installed; the unit files were not verified";
    }
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The user manager's checks want a runtime directory of their own.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.path());
    for (const QString& kind : {QStringLiteral("system"), QStringLiteral("user")}) {
        // Verification needs the unit's program to exist: the copy under DESTDIR.
        const QString copy = scratch.filePath(QStringLiteral("corvane-encoder.service"));
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(Unit(kind).first.toUtf8());
        file.close();

        QProcess verify;
        verify.setProcessEnvironment(environment);
        QStringList arguments{"verify", "--man=no", copy};
        if (kind == QStringLiteral("user")) {
            arguments.prepend(QStringLiteral("--user"));
        }
        verify.start(analyze, arguments);
        ASSERT_TRUE(verify.waitForFinished(30000));
        const QByteArray said = verify.readAllStandardOutput() + verify.readAllStandardError();
        EXPECT_EQ(verify.exitCode(), 0) << kind.toStdString() << ": " << said.toStdString();
        // Unknown keys and bad values are only warnings to systemd-analyze.
        EXPECT_TRUE(said.trimmed().isEmpty()) << kind.toStdString() << ": " << said.toStdString();
    }
}

// `cmake --install --prefix` of this build into a scratch folder, as a user
// installs it for themselves.
class PrefixInstall : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(prefix.isValid() && home.isValid());
        QProcess install;
        install.start(QStringLiteral(CORVANE_CMAKE),
                      {"--install", QStringLiteral(CORVANE_BUILD_DIR), "--prefix", prefix.path()});
        ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0)
            << (install.readAllStandardOutput() + install.readAllStandardError()).toStdString();
    }

    QString Path(const QString& relative) const { return QDir(prefix.path()).filePath(relative); }
    QString ProgramDir() const { return Path(InstallProgramFolder()); }

    // Runs `program` --headless -log on one new WAV with the given encoder
    // chosen, with home, settings and machine-wide settings all in scratch
    // folders. Returns the run's trace; `mp3` is the output.
    QString EncodeWith(const QString& program, std::uint32_t encoderId, QString& mp3) {
        const QString source = home.filePath(QStringLiteral("in"));
        const QString output = home.filePath(QStringLiteral("out"));
        QDir().mkpath(source);
        QDir().mkpath(output);
        QDir().mkpath(home.filePath(QStringLiteral("xdg")));
        const QString config = home.filePath(QStringLiteral("config/Brindlecap/Encoder.conf"));
        {
            QSettings settings(config, QSettings::IniFormat);
            settings.setValue(QStringLiteral("From Dir"), source);
            settings.setValue(QStringLiteral("To Dir"), output);
            settings.setValue(QStringLiteral("Workers"), 1);
            settings.setValue(QStringLiteral("Manufacturer ID"), encoderId);
            settings.setValue(QStringLiteral("Product ID"), encoderId);
            settings.setValue(QStringLiteral("Channels"), 2);
            settings.setValue(QStringLiteral("BytesPerSec"), 16000);
        }
        const QString wav = source + QStringLiteral("/tone%1.wav").arg(encoderId);
        testsupport::WriteFile(wav.toStdString(),
                               testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        // No machine-wide registration of x3enc can help.
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), home.filePath(QStringLiteral("xdg")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QProcess run;
        run.setProcessEnvironment(environment);
        run.setWorkingDirectory(home.path());
        QFile::remove(home.filePath(QStringLiteral("debug.txt")));
        run.start(program, QStringList{"--headless", "-log"} +
                               testsupport::LoopbackServingOptions() + QStringList{wav});
        EXPECT_TRUE(run.waitForFinished(120000)) << program.toStdString();
        EXPECT_EQ(run.exitCode(), 0)
            << (run.readAllStandardOutput() + run.readAllStandardError()).toStdString();
        mp3 = output + QStringLiteral("/tone%1.MP3").arg(encoderId);
        QFile trace(home.filePath(QStringLiteral("debug.txt")));
        return trace.open(QIODevice::ReadOnly) ? QString::fromUtf8(trace.readAll()) : QString();
    }

    // MPEG audio with its tag; a codec chosen instead would have written RIFF.
    static bool IsTaggedMp3(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.size() > 1000 && file.read(3) == "ID3";
    }

    QTemporaryDir prefix;
    QTemporaryDir home;
};

TEST_F(PrefixInstall, PutsEveryPartUnderThePrefix) {
    for (const QString& file :
         {InstallProgramFolder() + "/corvane-encoder", InstallProgramFolder() + "/x3enc",
          InstallProgramFolder() + "/libBladeEnc.so", InstallProgramFolder() + "/liblame_enc.so",
          InstallBinFolder() + "/corvane-encoder", InstallDataFolder() + "/help/index.html",
          InstallDataFolder() + "/" + X3ENC_REGISTRATION_FILE,
          QStringLiteral("share/applications/corvane-encoder.desktop"),
          QStringLiteral("share/icons/hicolor/scalable/apps/corvane-encoder.svg")}) {
        EXPECT_TRUE(QFileInfo(Path(file)).isFile()) << file.toStdString();
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString icon =
            Path(QStringLiteral("share/icons/hicolor/%1x%1/apps/corvane-encoder.png").arg(size));
        QImage image(icon);
        EXPECT_EQ(image.size(), QSize(size, size)) << icon.toStdString();
        // Drawn, not blank: the middle of the tile is opaque.
        if (!image.isNull()) {
            EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 4)), 255) << size;
        }
    }
    // The registration names the folder that holds the installed x3enc, and
    // the help page is where the program looks for it.
    EXPECT_EQ(RegisteredExternalEncoderFolder(ProgramDir()), QDir::cleanPath(ProgramDir()));
    EXPECT_EQ(FindHelpPage(ProgramDir()), Path(InstallDataFolder() + "/help/index.html"));
}

TEST_F(PrefixInstall, DesktopEntryStartsTheInstalledProgramAndIsValid) {
    QFile file(Path(QStringLiteral("share/applications/corvane-encoder.desktop")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(file.readAll());
    const QString program = Path(InstallBinFolder() + "/corvane-encoder");
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=\"%1\"\n").arg(program)))
        << entry.toStdString();
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=corvane-encoder\n")));
    EXPECT_FALSE(entry.contains(u'@')) << "unconfigured placeholder";

    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validate.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate is not installed; the entry was not validated";
    }
    QProcess check;
    check.start(validate, {file.fileName()});
    ASSERT_TRUE(check.waitForFinished(30000));
    const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
    EXPECT_EQ(check.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.trimmed().isEmpty()) << said.toStdString();
}

// 9999 the external encoder, 9998 the Blade library; without either the run
// falls back to a codec of the compression manager.
void ExpectEncoderFound(const QString& trace, const QString& programDir, bool x3enc) {
    if (x3enc) {
        EXPECT_TRUE(
            trace.contains(QStringLiteral("ExternalEncoder: the encoder ended. exit code = 0")))
            << trace.toStdString();
    } else {
        EXPECT_TRUE(trace.contains(QStringLiteral("bound %1/libBladeEnc.so").arg(programDir)))
            << trace.toStdString();
    }
}

TEST_F(PrefixInstall, TheInstalledProgramFindsItsLibrariesAndX3encUnaided) {
    const QString program = Path(InstallBinFolder() + "/corvane-encoder");
    QString mp3;
    ExpectEncoderFound(EncodeWith(program, 9999, mp3), ProgramDir(), true);
    EXPECT_TRUE(IsTaggedMp3(mp3)) << mp3.toStdString();
    ExpectEncoderFound(EncodeWith(program, 9998, mp3), ProgramDir(), false);
    EXPECT_TRUE(IsTaggedMp3(mp3)) << mp3.toStdString();
}

TEST_F(PrefixInstall, ACopyOfTheProgramInBinUsesItsLibraryFolder) {
    const QString link = Path(InstallBinFolder() + "/corvane-encoder");
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::copy(ProgramDir() + "/corvane-encoder", link));
    QString mp3;
    ExpectEncoderFound(EncodeWith(link, 9998, mp3), ProgramDir(), false);
    EXPECT_TRUE(IsTaggedMp3(mp3)) << mp3.toStdString();
    ExpectEncoderFound(EncodeWith(link, 9999, mp3), ProgramDir(), true);
    EXPECT_TRUE(IsTaggedMp3(mp3)) << mp3.toStdString();
}

} // namespace
