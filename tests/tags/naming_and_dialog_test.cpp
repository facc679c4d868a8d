#include "tags/genres.h"
#include "tags/split_artist_title.h"
#include "tags/tag_dialog_fields.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {
void ExpectSplit(const QString& name, const QString& artist, const QString& title) {
    const ArtistTitle split = SplitArtistTitle(name);
    EXPECT_EQ(split.artist, artist) << name.toStdString();
    EXPECT_EQ(split.title, title) << name.toStdString();
}
} // namespace

TEST(SplitArtistTitle, SeparatorExtensionAndSpaces) {
    ExpectSplit("Artist - Song", "Artist", "Song");
    ExpectSplit("My Song", "", "My Song");
    ExpectSplit("Mr. Smith - Song", "Mr", "Smith - Song");
    ExpectSplit("Artist - Song 1.5", "Artist", "Song 1");
    ExpectSplit("Simon & Garfunkel's - Boxer", "Simon & Garfunkel's", "Boxer");
    ExpectSplit("A\tB - C", "A\tB", "C");               // tabs are part of the artist
    ExpectSplit("  Lead  _  Title  ", "Lead", "Title"); // only spaces are trimmed
    ExpectSplit("a_b.c/d", "a", "b.c/d");               // a slash after the dot keeps it
    ExpectSplit("a_b.c\\d", "a", "b.c\\d");
    // Letters and digits of any script, accents written as marks included.
    ExpectSplit("Bj\u00f6rk - J\u00f3ga", "Bj\u00f6rk", "J\u00f3ga");
    ExpectSplit("name with spaces & \u00fcmlauts", "", "name with spaces & \u00fcmlauts");
    ExpectSplit("Bjo\u0308rk - \u03a9\u03bc\u03ad\u03b3\u03b1", "Bjo\u0308rk",
                "\u03a9\u03bc\u03ad\u03b3\u03b1");
    ExpectSplit("\u6771\u4eac \U00020000 - \u65e5\u672c\u8a9e", "\u6771\u4eac \U00020000",
                "\u65e5\u672c\u8a9e");
    ExpectSplit("", "", "");
    ExpectSplit("-", "", "");
}

TEST(Genres, SelectionFromStoredText) {
    // "Rock" sorts before "Rock & Roll"; no digits read as 0.
    for (const char* rock : {"(17)", "(17)Rock", "ROCK"}) {
        EXPECT_EQ(GenreSelectionForText(rock), 17) << rock;
    }
    for (const char* none : {"(126)", "(200)", "(99999999999999999999)", "", "Polkas"}) {
        EXPECT_EQ(GenreSelectionForText(none), NO_GENRE) << none;
    }
    for (const auto& [text, genre] :
         {std::pair{"(0)", 0}, {"(", 0}, {"(125)", 125}, {"rock & r", 78}, {"pop", 13}}) {
        EXPECT_EQ(GenreSelectionForText(text), genre) << text;
    }
    EXPECT_EQ(GenreTextForSelection(17), "(17)");
    EXPECT_EQ(GenreTextForSelection(NO_GENRE), "");
}

TEST(TagDialogFields, ShowingARecordAndConfirmingItUnchanged) {
    ID3TagRecord record;
    record.title = "T";
    record.artist = "A";
    record.album = "L";
    record.comment = "C";
    record.genre = "(17)";
    record.year = "1999";
    EXPECT_EQ(ShowTagFields(record).genre, 17);
    EXPECT_EQ(RecordFromDialog(ShowTagFields(record)), record);
    for (const char* hidden : {"1899", "2040", "", "abcd"}) {
        EXPECT_EQ(YearForDisplay(hidden), "") << hidden;
    }
    for (const char* shown : {"1900", "2039"}) {
        EXPECT_EQ(YearForDisplay(shown), shown);
    }
}

TEST(TagDialogFields, ConfirmingCutsFieldsAndStoresTheGenreByNumber) {
    TagDialogFields fields;
    fields.title = QString(200, u'x');
    fields.year = "123456";
    fields.comment = "abc";
    fields.genre = GenreSelectionForText("Rock");
    ID3TagRecord record = RecordFromDialog(fields);
    EXPECT_EQ(std::tuple(record.title.size(), record.year.str(), record.genre.str(),
                         record.comment.str(), record.artist.str()),
              std::tuple(127u, "1234", "(17)", "abc", ""));

    fields.genre = NO_GENRE;
    fields.artist = QString::fromUtf8("Caf\u00e9");
    fields.title = QString(70, u'\u03a9'); // two bytes each: cut whole, at 126 bytes
    record = RecordFromDialog(fields);
    EXPECT_EQ(std::tuple(record.genre.str(), record.artist.str()), std::tuple("", "Caf\xc3\xa9"));
    EXPECT_EQ(ShowTagFields(record).title, QString(63, u'\u03a9'));
    record.artist = "Caf\xe9"; // Latin-1 bytes of an older record still read
    EXPECT_EQ(ShowTagFields(record).artist, QString::fromUtf8("Caf\u00e9"));
}
