#include "app/encoder_settings.h"
#include "engines/catalogue.h"
#include "headless/format_choice.h"
#include "headless/options.h"

#include <gtest/gtest.h>

namespace {

HeadlessOptions Parse(const QStringList& arguments) {
    return ParseCommandLine(QStringList{QStringLiteral("corvane-encoder")} + arguments);
}

// Which command lines are wrong: the window has no standard output to format,
// and serving is for a run without a window.
TEST(HeadlessOptions, CommandLines) {
    const struct {
        QStringList arguments;
        bool wrong;
    } cases[] = {
        {{}, false},
        {{"a.wav"}, false}, // the window queues them
        {{"--list-formats"}, false},
        {{"--headless", "--json", "a.wav"}, false},
        {{"--headless", "--version", "a.wav"}, false},
        {{"--headless", "--frobnicate"}, true},
        {{"--version", "--frobnicate"}, true},
        {{"--format", "lame, V2"}, true},
        {{"--headless", "--json", "--quiet"}, true},
        {{"--json"}, true},
        {{"--quiet"}, true},
        {{"--headless", "--screenshot", "dir"}, true},
        {{"--serve"}, true},
        {{"--allow", ""}, true},
    };
    for (const auto& [arguments, wrong] : cases) {
        EXPECT_EQ(Parse(arguments).error.isEmpty(), !wrong) << arguments.join(u' ').toStdString();
    }

    HeadlessOptions options =
        Parse({"--headless", "-LOG", "a.wav", "--settings", "s.ini", "b.wav"});
    EXPECT_EQ(std::tuple(options.headless, options.files, options.settingsFile),
              std::tuple(true, QStringList({"a.wav", "b.wav"}), "s.ini"));
    EXPECT_EQ(Parse({"a.wav"}).files, QStringList{"a.wav"});
    EXPECT_EQ(Parse({"--headless", "--", "-odd.wav"}).files, QStringList{"-odd.wav"});
    EXPECT_TRUE(Parse({"--list-formats"}).listFormats);
    options = Parse({"--headless", "--serve", "--allow", "10.0.0.0/8", "a.wav"});
    EXPECT_EQ(std::tuple(options.serve, options.allow), std::tuple(true, "10.0.0.0/8"));
    // --version answers in either mode, whatever else is given.
    EXPECT_TRUE(Parse({"--headless", "--version", "a.wav"}).version);
    EXPECT_TRUE(VersionLine().endsWith(u'\n'));
    EXPECT_EQ(VersionLine().count(u'\n'), 1);
}

// Every format listed is named back to itself; the stereo mode only where it exists.
TEST(FormatChoice, ListedNamesFindTheirFormats) {
    EncoderCatalogue catalogue;
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int) { return true; };
    sources.externalEncoderFolder = [] { return std::optional<QString>(); };
    catalogue.Build(sources);
    const QStringList lines = ListFormatChoices(catalogue);
    EXPECT_TRUE(lines.contains("LAME Encoder, V2\tVBR V2, ~190 kBit/s, 44,100, Stereo"));
    for (const QString& line : lines) {
        QString problem;
        const auto choice = ParseFormatChoice(catalogue, line.section(u'\t', 0, 0), &problem);
        ASSERT_TRUE(choice) << problem.toStdString();
        const int driver = catalogue.FindDriverExactly(choice->manufacturerId, choice->productId);
        const int format =
            catalogue.FindFormatExactly(driver, choice->channels, choice->bytesPerSec);
        EXPECT_EQ(catalogue.Format(driver, format)->description, line.section(u'\t', 1))
            << line.toStdString();
    }
    QString problem;
    EXPECT_EQ(ParseFormatChoice(catalogue, "lame, 128, joint", &problem)->stereoMode,
              STEREO_MODE_JOINT);
    EXPECT_EQ(ParseFormatChoice(catalogue, "blade, 192", &problem)->bytesPerSec, 24000u);
    EXPECT_FALSE(ParseFormatChoice(catalogue, "blade, 128, joint", &problem));
    EXPECT_FALSE(ParseFormatChoice(catalogue, "lame, 100", &problem));
    EXPECT_FALSE(ParseFormatChoice(catalogue, "nothing, 128", &problem));
    EXPECT_TRUE(problem.contains("--list-formats"));
}

// Each entry of the table is parsed, listed in --help, and wants its value.
TEST(HeadlessOptions, EveryOptionOfTheTable) {
    const QString usage = HeadlessUsage();
    for (const QString& line : usage.split(u'\n')) {
        EXPECT_LE(line.size(), 79) << line.toStdString();
    }
    for (const CommandLineOption& option : CommandLineOptions()) {
        const QString name = QLatin1String(option.name);
        EXPECT_TRUE(usage.contains(QStringLiteral("\n  ") + name)) << option.name;
        QStringList arguments{name};
        if (option.scope != OptionScope::WindowOnly) {
            arguments.prepend(QStringLiteral("--headless"));
        }
        if (option.valueName != nullptr) {
            EXPECT_FALSE(Parse(arguments).error.isEmpty()) << option.name << " without its value";
            arguments.append(QStringLiteral("1"));
        }
        EXPECT_TRUE(Parse(arguments).error.isEmpty()) << option.name;
    }
}

} // namespace
