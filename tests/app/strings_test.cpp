#include "app/strings.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(Strings, TableTexts) {
    // The texts the queue and scheduler tests show are checked there.
    EXPECT_TRUE(ResString(33039).contains("\n\nDo you want to begin encoding anyway?"));
    EXPECT_EQ(ResString(99999), "");

    // The genre block is complete and in number order.
    EXPECT_EQ(ResString(IDS_FIRST_GENRE), "Blues");
    EXPECT_EQ(ResString(IDS_FIRST_GENRE + 17), "Rock");
    EXPECT_EQ(ResString(IDS_FIRST_GENRE + 67), "Psychadelic");
    EXPECT_EQ(ResString(IDS_FIRST_GENRE + 125), "Dance Hall");
    for (unsigned n = 0; n < GENRE_COUNT; ++n) {
        EXPECT_FALSE(ResString(IDS_FIRST_GENRE + n).isEmpty()) << n;
    }
}

TEST(Strings, TwoLoadersKeepTheirOwnTexts) {
    const char* message = LoadResString(33021);
    const char* caption = LoadResString2(IDS_APP_TITLE);
    EXPECT_STREQ(message, "You can't remove the file while it is encoding.");
    EXPECT_STREQ(caption, "A Corvane MP3 Encoder");
    EXPECT_NE(message, caption);
    // A second load into the first buffer replaces only the first text.
    const char* again = LoadResString(33025);
    EXPECT_EQ(again, message);
    EXPECT_STREQ(message, "Unknown");
    EXPECT_STREQ(caption, "A Corvane MP3 Encoder");
    EXPECT_STREQ(LoadResString(12345), "");
}
