#include "tags/tag_edit_walks.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

struct Selection {
    std::vector<ID3TagRecord> records;
    std::vector<TagEditTarget> targets;

    explicit Selection(const std::vector<QString>& names) : records(names.size()) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            targets.push_back({&records[i], names[i]});
        }
    }
};

const auto READ_NOTHING = [](std::size_t) { return false; };

using Strings = std::tuple<std::string, std::string, std::string>;
Strings TitleArtistAlbum(const ID3TagRecord& record) {
    return {record.title.str(), record.artist.str(), record.album.str()};
}

} // namespace

TEST(TagEditWalks, SeveralFilesKeepTheirOwnTitlesASingleFileTakesTheWholeRecord) {
    Selection selection({"A - One", "B - Two"});
    const ID3TagRecord shown = ChooseDialogRecord(selection.targets, READ_NOTHING);
    EXPECT_EQ(TitleArtistAlbum(shown), Strings("One", "A", ""));

    ID3TagRecord confirmed;
    confirmed.title = "X";
    confirmed.artist = "Y";
    confirmed.album = "Z";
    std::vector<std::size_t> written;
    ApplyDialogRecord(selection.targets, confirmed, [&](std::size_t i) { written.push_back(i); });
    EXPECT_EQ(TitleArtistAlbum(selection.records[0]), Strings("One", "Y", "Z"));
    EXPECT_EQ(TitleArtistAlbum(selection.records[1]), Strings("Two", "Y", "Z"));
    EXPECT_EQ(written, (std::vector<std::size_t>{0, 1}));

    // An entered title is kept over the name.
    selection.records[1].title = "Own";
    ApplyDialogRecord(selection.targets, confirmed, [](std::size_t) {});
    EXPECT_EQ(selection.records[1].title.str(), "Own");

    // A single file takes the whole record, its title and comment replaced.
    Selection single({"A - One"});
    single.records[0].title = "Old";
    single.records[0].comment = "old comment";
    ApplyDialogRecord(single.targets, confirmed, [](std::size_t) {});
    EXPECT_EQ(single.records[0], confirmed);
}

TEST(TagEditWalks, TheDialogOpensWithTheFirstReadOrTitledRecord) {
    Selection selection({"A - One", "B - Two", "C - Three"});
    selection.records[2].title = "Entered";
    // Nothing read: the first record with a title wins.
    EXPECT_EQ(ChooseDialogRecord(selection.targets, READ_NOTHING).title.str(), "Entered");

    // A record read from a file stops the walk there, and no later file is read.
    std::vector<std::size_t> asked;
    const ID3TagRecord shown = ChooseDialogRecord(selection.targets, [&](std::size_t i) {
        asked.push_back(i);
        if (i != 1) {
            return false;
        }
        selection.records[1].title = "From file";
        return true;
    });
    EXPECT_EQ(shown.title.str(), "From file");
    EXPECT_EQ(asked, (std::vector<std::size_t>{0, 1}));

    // No title anywhere: the split of the first name, nothing else.
    Selection blank({"Only Title", "B - Two"});
    blank.records[1].album = "ignored";
    EXPECT_EQ(TitleArtistAlbum(ChooseDialogRecord(blank.targets, READ_NOTHING)),
              Strings("Only Title", "", ""));
}

TEST(TagEditWalks, AFinishedFileWithoutTitleIsNamedFromItsFile) {
    ID3TagRecord record;
    record.artist = "Entered";
    record.album = "Kept";
    FillEmptyTitleFromName(record, "Band - Song");
    EXPECT_EQ(TitleArtistAlbum(record), Strings("Song", "Band", "Kept"));
    FillEmptyTitleFromName(record, "Other - Name");
    EXPECT_EQ(TitleArtistAlbum(record), Strings("Song", "Band", "Kept"));
}
