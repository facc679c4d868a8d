#include "controller/headless_options.h"

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

} // namespace
