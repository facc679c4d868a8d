#include "controller/tag_edit_session.h"

#include "../tags/mp3_maker.h"
#include "app/encoder_app.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "support/app_sandbox.h"
#include "support/recording_view.h"
#include "support/wav_builder.h"
#include "tags/tag_file.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class TagEditSession : public testsupport::AppSandbox {
protected:
    QueueEntry& Add(const QString& fileName, bool selected = true) {
        auto owned = std::make_unique<QueueEntry>();
        SetEntryPath(*owned, QDir(sourceDir).filePath(fileName));
        QueueEntry* entry = model.Append(std::move(owned));
        model.AddRowAtEnd(entry);
        model.Select(model.RowCount() - 1, selected);
        return *entry;
    }

    // An encoded output for the entry, with `tag` in it.
    void MakeOutput(QueueEntry& entry, const ID3TagRecord& tag) {
        const QString path = QDir(outputDir).filePath(entry.name.str() + ".MP3");
        ASSERT_TRUE(testsupport::WriteFile(path.toStdString(), tagtest::MakeMpegFrames(8)));
        entry.outputPath = path;
        entry.status = Completed;
        TagFileTarget target;
        target.outputPath = path;
        ASSERT_TRUE(WriteTagToFile(target, tag));
    }

    QueueModel model;
    testsupport::RecordingView view;
};

ID3TagRecord Record(const char* title, const char* artist, const char* genre = "") {
    ID3TagRecord record;
    record.title = title;
    record.artist = artist;
    record.genre = genre;
    return record;
}

} // namespace

TEST_F(TagEditSession, WithoutASelectionTheUserIsToldAndNoDialogOpens) {
    Add("A - One.wav", false);
    bool opened = false;
    EXPECT_FALSE(EditSelectedTags(model, *app, view, [&](ID3TagRecord&) { return opened = true; }));
    EXPECT_FALSE(opened);
    ASSERT_EQ(view.informations.size(), 1);
    EXPECT_EQ(view.informations[0], "You need to a select a file or a group of files first.");
}

TEST_F(TagEditSession, AnEncodedFileShowsItsTagAndTakesTheEditAtOnce) {
    Add("Waiting.wav");
    QueueEntry& done = Add("Done.wav");
    MakeOutput(done, Record("On Disk", "Someone", "(8)"));

    ID3TagRecord shown;
    ASSERT_TRUE(EditSelectedTags(model, *app, view, [&](ID3TagRecord& record) {
        shown = record;
        record.artist = "Changed";
        return true;
    }));
    EXPECT_EQ(std::tuple(shown.title.str(), shown.genre.str()), std::tuple("On Disk", "(8)"));

    ID3TagRecord onDisk;
    TagFileTarget target;
    target.outputPath = done.outputPath.str();
    ASSERT_TRUE(ReadTagFromFile(target, onDisk));
    const ID3TagRecord& waiting = model.EntryAt(0)->tag;
    EXPECT_EQ(std::tuple(onDisk.artist.str(), onDisk.title.str(), waiting.artist.str(),
                         waiting.title.str()),
              std::tuple("Changed", "On Disk", "Changed", "Waiting"));
}

// The dialog's own loop handles an encode's end, which may free a selected
// entry; OK must then leave that entry alone (run under ASan as well).
TEST_F(TagEditSession, AnEntryFreedWhileTheDialogIsOpenIsLeftAlone) {
    QueueEntry& gone = Add("A - One.wav");
    QueueEntry& kept = Add("B - Two.wav");
    ASSERT_TRUE(EditSelectedTags(model, *app, view, [&](ID3TagRecord& record) {
        model.Free(&gone);
        record.artist = "Edited";
        return true;
    }));
    ASSERT_EQ(model.Count(), 1);
    EXPECT_EQ(kept.tag.artist.str(), "Edited");
    EXPECT_EQ(kept.tag.title.str(), "Two") << "one of several keeps its own title";
}
