#include "tags/id3_tag_record.h"

#include <gtest/gtest.h>
#include <tuple>

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
    // The title's last byte and terminator, then artist, year, its end, genre, comment.
    std::string picked;
    for (const int at : {126, 127, 128, 384, 388, 389, 517}) {
        picked += char(bytes[std::size_t(at)]);
    }
    EXPECT_EQ(picked, std::string("T\0A1\0(C", 7));
    EXPECT_EQ(ParseTagRecord(bytes.data()), record);

    // No terminator anywhere: every field stops short of its last byte.
    ID3TagRecordBytes hostile;
    hostile.fill('x');
    const ID3TagRecord parsed = ParseTagRecord(hostile.data());
    EXPECT_EQ(std::tuple(parsed.title.size(), parsed.year.str(), parsed.comment.size()),
              std::tuple(127u, "xxxx", 127u));
}
