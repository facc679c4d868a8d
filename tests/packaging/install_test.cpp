#include "app/install_layout.h"
#include "engines/catalogue.h"
#include "headless/options.h"
#include "packaging/installed_program.h"
#include "ui/dialogs/help.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// `cmake --install --prefix` of this build into a scratch folder, as a user
// installs it for themselves.
class PrefixInstall : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(prefix.isValid());
        const packagingtest::Ran install =
            packagingtest::RunTool(QStringLiteral(CORVANE_CMAKE),
                                   {"--install", CORVANE_BUILD_DIR, "--prefix", prefix.path()});
        ASSERT_EQ(install.exitCode, 0) << install.said.toStdString();
    }

    QString Path(const QString& relative) const { return QDir(prefix.path()).filePath(relative); }
    QString ProgramDir() const { return Path(InstallProgramFolder()); }

    QTemporaryDir prefix;
    packagingtest::ScratchHome home;
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

// Both units start the program installed under the prefix, and systemd
// finds nothing wrong in them.
TEST_F(PrefixInstall, UnitsStartTheInstalledProgramAndPassSystemdVerification) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    for (const char* unit : {"lib/systemd/system/corvane-encoder.service",
                             "share/systemd/user/corvane-encoder.service"}) {
        QFile file(Path(QLatin1String(unit)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << unit;
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains(QStringLiteral("\nExecStart=%1 --headless --settings ")
                                      .arg(Path(InstallBinFolder() + "/corvane-encoder"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\nKillSignal=SIGTERM\n")));
        EXPECT_TRUE(text.contains(QStringLiteral("\nRestart=on-failure\n")));
        EXPECT_FALSE(text.contains(u'@')) << "unconfigured placeholder";
        if (!analyze.isEmpty()) {
            QStringList arguments{"verify", "--man=no", file.fileName()};
            if (QLatin1String(unit).startsWith(QLatin1String("share"))) {
                arguments.prepend(QStringLiteral("--user"));
            }
            // Unknown keys and bad values are only warnings to systemd-analyze.
            const packagingtest::Ran verify =
                packagingtest::RunTool(analyze, arguments, QString(), home.Environment());
            EXPECT_EQ(verify.exitCode, 0) << verify.said.toStdString();
            EXPECT_TRUE(verify.said.trimmed().isEmpty())
                << unit << ": " << verify.said.toStdString();
        }
    }
    if (analyze.isEmpty()) {
        GTEST_SKIP() << "systemd-analyze is not installed; the unit files were not verified";
    }
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
    const packagingtest::Ran check = packagingtest::RunTool(validate, {file.fileName()});
    EXPECT_EQ(check.exitCode, 0) << check.said.toStdString();
    EXPECT_TRUE(check.said.trimmed().isEmpty()) << check.said.toStdString();
}

// The installed program, and then a copy of it in bin, find the library and
// x3enc in the program folder; each writes a tagged MP3 (a codec chosen
// instead would have written RIFF).
TEST_F(PrefixInstall, TheInstalledProgramOrACopyInBinFindsItsLibrariesAndX3encUnaided) {
    const QString program = Path(InstallBinFolder() + "/corvane-encoder");
    const QString found[] = {QStringLiteral("bound %1/libBladeEnc.so").arg(ProgramDir()),
                             QStringLiteral("ExternalEncoder: the encoder ended. exit code = 0")};
    for (const bool copy : {false, true}) {
        if (copy) {
            ASSERT_TRUE(QFile::remove(program));
            ASSERT_TRUE(QFile::copy(ProgramDir() + "/corvane-encoder", program));
            ASSERT_TRUE(QDir(home.Path(QStringLiteral("out"))).removeRecursively());
        }
        for (const std::uint32_t encoder : {BLADE_DRIVER_ID, XING_DRIVER_ID}) {
            const packagingtest::Encoded encoded = home.Encode(program, encoder, encoder);
            EXPECT_TRUE(encoded.trace.contains(found[encoder == XING_DRIVER_ID]))
                << copy << encoded.trace.toStdString();
            EXPECT_GT(encoded.output.size(), 1000) << copy << " " << encoder;
            EXPECT_TRUE(encoded.output.startsWith("ID3")) << copy << " " << encoder;
        }
    }
}

// The manual and the completion are made from the option table: each
// option is there, and the completion offers what each option takes.
TEST_F(PrefixInstall, ManualAndCompletionKnowEveryOption) {
    QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    plain.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    plain.insert(QStringLiteral("MANWIDTH"), QStringLiteral("200"));
    const packagingtest::Ran manual = packagingtest::RunTool(
        QStringLiteral("man"),
        {"--warnings", "-l", Path(QStringLiteral("share/man/man1/corvane-encoder.1.gz"))},
        QString(), plain);
    ASSERT_EQ(manual.exitCode, 0) << manual.said.toStdString();
    EXPECT_FALSE(manual.said.contains(QStringLiteral("warning"))) << manual.said.toStdString();
    for (const CommandLineOption& option : CommandLineOptions()) {
        EXPECT_TRUE(manual.said.contains(QStringLiteral("\n       ") + option.name)) << option.name;
    }
    for (const ExitCodeMeaning& exit : ExitCodeMeanings()) {
        EXPECT_TRUE(manual.said.contains(QString::fromUtf8(exit.meaning))) << exit.code;
    }

    const QString library = QStringLiteral("/usr/share/bash-completion/bash_completion");
    if (!QFileInfo::exists(library)) {
        GTEST_SKIP() << "bash-completion is not installed; the completion was not tried";
    }
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    for (const char* name : {"a.wav", "B.WAV", "notes.txt"}) {
        QFile(folder.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
    }
    const QString complete = QStringLiteral(
        "source %1; source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
        "COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}; _corvane_encoder;"
        "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort");
    const struct {
        QStringList words;
        QString offered;
    } cases[] = {
        {{"--he"}, "--headless\n--help\n"},
        {{"--headless", ""}, "B.WAV\na.wav\nsub\n"},
        {{"--settings", ""}, "B.WAV\na.wav\nnotes.txt\nsub\n"},
        {{"--screenshot", ""}, "sub\n"},
        {{"--jobs", ""}, "\n"},
    };
    for (const auto& [words, offered] : cases) {
        const packagingtest::Ran ran = packagingtest::RunTool(
            QStringLiteral("bash"),
            QStringList{"-c", complete.arg(library), "bash",
                        Path(QStringLiteral("share/bash-completion/completions/corvane-encoder")),
                        "corvane-encoder"} +
                words,
            folder.path());
        EXPECT_EQ(ran.said, offered) << words.join(u' ').toStdString();
    }
}

} // namespace
