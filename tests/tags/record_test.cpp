#include "tags/id3_tag_record.h"

#include <gtest/gtest.h>

TEST(TagRecord, BytesKeepTheFieldOffsetsAndSurviveHostileInput) {
    ID3TagRecord record;
    record.title = std::string(200, 'T');                     // cut to 127
    record.comment = std::string_view("Comment\0hidden", 14); // stops at NUL
    record.artist = "Artist";
    record.album = "Album";
    record.year = "1999";
    record.genre = "(17)";
    const ID3TagRecordBytes bytes = SerializeTagRecord(record);
    ASSERT_EQ(bytes.size(), 645u);
    EXPECT_EQ(bytes[126], 'T');
    EXPECT_EQ(bytes[127], 0); // the title's terminator
    EXPECT_EQ(bytes[128], 'A');
    EXPECT_EQ(bytes[384], '1');
    EXPECT_EQ(bytes[388], 0);
    EXPECT_EQ(bytes[389], '(');
    EXPECT_EQ(bytes[517], 'C');
    EXPECT_EQ(ParseTagRecord(bytes.data()), record);

    // No terminator anywhere: every field stops short of its last byte.
    ID3TagRecordBytes hostile;
    hostile.fill('x');
    const ID3TagRecord parsed = ParseTagRecord(hostile.data());
    EXPECT_EQ(parsed.title.size(), 127u);
    EXPECT_EQ(parsed.year.str(), "xxxx");
    EXPECT_EQ(parsed.comment.size(), 127u);
}
