#include "tags/tag_edit_walks.h"

#include "tags/split_artist_title.h"
#include "tags/tag_text.h"

ID3TagRecord ChooseDialogRecord(std::span<const TagEditTarget> targets,
                                const std::function<bool(std::size_t)>& readTag) {
    ArtistTitle firstSplit;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const ID3TagRecord& tag = *targets[i].tag;
        if (readTag(i) || !tag.title.empty()) {
            return tag;
        }
        if (i == 0) {
            firstSplit = SplitArtistTitle(targets[0].name);
        }
    }
    ID3TagRecord blank;
    blank.artist = TagBytes(firstSplit.artist);
    blank.title = TagBytes(firstSplit.title);
    return blank;
}

void ApplyDialogRecord(std::span<const TagEditTarget> targets, const ID3TagRecord& confirmed,
                       const std::function<void(std::size_t)>& writeTag) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        ID3TagRecord& tag = *targets[i].tag;
        if (targets.size() == 1) {
            tag = confirmed;
        } else {
            auto keptTitle = tag.title;
            if (keptTitle.empty()) {
                keptTitle = TagBytes(SplitArtistTitle(targets[i].name).title);
            }
            tag = confirmed;
            tag.title = keptTitle;
        }
        writeTag(i);
    }
}

void FillEmptyTitleFromName(ID3TagRecord& record, const QString& name) {
    if (!record.title.empty()) {
        return;
    }
    const ArtistTitle split = SplitArtistTitle(name);
    record.artist = TagBytes(split.artist);
    record.title = TagBytes(split.title);
}
