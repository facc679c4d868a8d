#include "headless/options.h"

#include <gtest/gtest.h>

namespace {

HeadlessOptions Parse(const QStringList& arguments) {
    return ParseCommandLine(QStringList{QStringLiteral("corvane-encoder")} + arguments);
}

TEST(HeadlessOptions, CommandLines) {
    HeadlessOptions options = Parse({});
    EXPECT_FALSE(options.headless);
    EXPECT_TRUE(options.error.isEmpty());

    options = Parse({"--headless", "-LOG", "a.wav", "--settings", "s.ini", "b.wav"});
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.files, QStringList({"a.wav", "b.wav"}));
    EXPECT_EQ(options.settingsFile, QStringLiteral("s.ini"));
    EXPECT_TRUE(options.error.isEmpty());

    options = Parse({"--headless", "--", "-odd.wav"});
    EXPECT_EQ(options.files, QStringList{"-odd.wav"});

    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_FALSE(Parse({"--headless", "--frobnicate"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--headless", "--settings"}).error.isEmpty());
    // Files without --headless would silently be ignored by the window.
    EXPECT_FALSE(Parse({"a.wav"}).error.isEmpty());
    EXPECT_TRUE(HeadlessUsage().contains(QStringLiteral("--headless")));
}

TEST(HeadlessOptions, OutputSwitchesAndWhereTheyAreAllowed) {
    HeadlessOptions options = Parse({"--headless", "--json", "a.wav"});
    EXPECT_EQ(options.format, OutputFormat::Json);
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_TRUE(Parse({"--headless", "-q"}).quiet);
    EXPECT_FALSE(Parse({"--headless", "--json", "--quiet"}).error.isEmpty());
    // The window has no standard output to format.
    EXPECT_FALSE(Parse({"--json"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--quiet"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--headless", "--screenshot", "dir"}).error.isEmpty());
    EXPECT_EQ(Parse({"--screenshot", "dir"}).screenshotDir, QStringLiteral("dir"));

    // --version and --help answer in either mode, whatever else is given.
    EXPECT_TRUE(Parse({"--version"}).version);
    options = Parse({"--headless", "--version", "a.wav"});
    EXPECT_TRUE(options.version);
    EXPECT_TRUE(options.error.isEmpty());
    // An unknown option is wrong even beside --version.
    EXPECT_FALSE(Parse({"--version", "--frobnicate"}).error.isEmpty());
    EXPECT_TRUE(VersionLine().startsWith(QStringLiteral("corvane-encoder ")));
    EXPECT_TRUE(VersionLine().endsWith(u'\n'));
    EXPECT_EQ(VersionLine().count(u'\n'), 1);
}

} // namespace
