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

// Both units and the desktop entry start the program installed under the
// prefix, and their own checkers find nothing wrong in them.
TEST_F(PrefixInstall, UnitsAndDesktopEntryStartTheInstalledProgramAndAreValid) {
    const QString program = Path(InstallBinFolder() + "/corvane-encoder");
    const QStringList unit = {"\nExecStart=" + program + " --headless --settings ",
                              "\nKillSignal=SIGTERM\n", "\nRestart=on-failure\n"};
    const struct {
        const char* name;
        QStringList lines;
        const char* checker;
        QStringList options;
    } files[] = {
        {"lib/systemd/system/corvane-encoder.service",
         unit,
         "systemd-analyze",
         {"verify", "--man=no"}},
        {"share/systemd/user/corvane-encoder.service",
         unit,
         "systemd-analyze",
         {"--user", "verify", "--man=no"}},
        {"share/applications/corvane-encoder.desktop",
         {"\nExec=\"" + program + "\"\n", "\nIcon=corvane-encoder\n"},
         "desktop-file-validate",
         {}},
    };
    QStringList unchecked;
    for (const auto& [name, lines, checker, options] : files) {
        QFile file(Path(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QString text = QString::fromUtf8(file.readAll());
        for (const QString& line : lines) {
            EXPECT_TRUE(text.contains(line)) << name << ": " << text.toStdString();
        }
        EXPECT_FALSE(text.contains(u'@')) << name << ": unconfigured placeholder";
        const QString tool = QStandardPaths::findExecutable(QLatin1String(checker));
        if (tool.isEmpty()) {
            unchecked << QLatin1String(checker);
            continue;
        }
        // Unknown keys and bad values are only warnings to systemd-analyze.
        const packagingtest::Ran ran = packagingtest::RunTool(
            tool, options + QStringList{file.fileName()}, QString(), home.Environment());
        EXPECT_EQ(ran.exitCode, 0) << name << ": " << ran.said.toStdString();
        EXPECT_TRUE(ran.said.trimmed().isEmpty()) << name << ": " << ran.said.toStdString();
    }
    if (!unchecked.isEmpty()) {
        GTEST_SKIP() << unchecked.join(", ").toStdString() << " not installed: not verified";
    }
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
