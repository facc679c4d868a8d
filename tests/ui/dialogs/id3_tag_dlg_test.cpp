#include "ui/dialogs/id3_tag_dlg.h"

#include "modal_driver.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "support/app_sandbox.h"
#include "support/recording_view.h"
#include "tags/genres.h"
#include "ui/dialogs/id3_tag_command.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

ID3TagRecord WithGenre(const char* genre, const char* year = "") {
    ID3TagRecord record;
    record.title = "Song";
    record.genre = genre;
    record.year = year;
    return record;
}

QString ShownGenre(CID3TagDlg& dialog, const char* genre) {
    dialog.SetTag(WithGenre(genre));
    return dialog.GenreList()->currentIndex() < 0 ? QString("(none)")
                                                  : dialog.GenreList()->currentText();
}

} // namespace

TEST(ID3TagDlg, FieldLimitsSortedGenresAndTheGenreShownAndStoredByNumber) {
    CID3TagDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "ID3 Tag Information");
    EXPECT_EQ((std::vector{dialog.TitleEdit()->maxLength(), dialog.CommentEdit()->maxLength(),
                           dialog.YearEdit()->maxLength()}),
              (std::vector{128, 128, 4}));

    QComboBox* genres = dialog.GenreList();
    ASSERT_EQ(genres->count(), 126);
    for (int i = 0; i < genres->count(); ++i) {
        EXPECT_EQ(genres->itemText(i), GenreName(genres->itemData(i).toInt()));
        if (i > 0) {
            EXPECT_LE(genres->itemText(i - 1).compare(genres->itemText(i), Qt::CaseInsensitive), 0);
        }
    }
    EXPECT_EQ(genres->itemData(genres->findText("Rock")).toInt(), 17);
    EXPECT_EQ(genres->itemData(genres->findText("Dance Hall")).toInt(), 125);

    // A shown tag picks the genre by number or by the start of its name.
    EXPECT_EQ((QStringList{ShownGenre(dialog, "(17)"), ShownGenre(dialog, "(200)"),
                           ShownGenre(dialog, "(126)"), ShownGenre(dialog, "rock & r"),
                           ShownGenre(dialog, "Polka Punk"), ShownGenre(dialog, "")}),
              (QStringList{"Rock", "(none)", "(none)", "Rock & Roll", "(none)", "(none)"}));

    for (const auto& [year, shown] : {std::pair{"1899", ""}, {"2040", ""}, {"1999", "1999"}}) {
        dialog.SetTag(WithGenre("", year));
        EXPECT_EQ(dialog.YearEdit()->text(), shown) << year;
    }
    EXPECT_EQ(dialog.TitleEdit()->text(), "Song");

    // OK stores the genre by number and cuts the texts.
    dialog.SetTag(WithGenre("Rock"));
    dialog.TitleEdit()->setText(QString(128, u't'));
    dialog.YearEdit()->setText("19x9");
    dialog.accept();
    ID3TagRecord record;
    dialog.GetTag(record);
    EXPECT_EQ(std::tuple(record.genre.str(), record.title.size(), record.year.str()),
              std::tuple("(17)", 127u, "19x9"));

    dialog.GenreList()->setCurrentIndex(-1);
    dialog.accept();
    dialog.GetTag(record);
    EXPECT_EQ(record.genre.str(), "");
}

namespace {

class ID3TagCommand : public testsupport::AppSandbox {
protected:
    QueueEntry& Add(const QString& fileName) {
        auto owned = std::make_unique<QueueEntry>();
        SetEntryPath(*owned, QDir(sourceDir).filePath(fileName));
        QueueEntry* entry = model.Append(std::move(owned));
        model.AddRowAtEnd(entry);
        model.Select(model.RowCount() - 1);
        return *entry;
    }

    QueueModel model;
    testsupport::RecordingView view;
};

} // namespace

TEST_F(ID3TagCommand, TwoFilesNotYetEncodedTakeTheArtistButKeepTheirTitles) {
    QueueEntry& first = Add("A - One.wav");
    QueueEntry& second = Add("B - Two.wav");

    QStringList shown; // title, artist
    dialogtest::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CID3TagDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        shown = {dialog->TitleEdit()->text(), dialog->ArtistEdit()->text()};
        dialog->TitleEdit()->setText("X");
        dialog->ArtistEdit()->setText("Y");
        dialog->accept();
    });
    EXPECT_TRUE(OnID3TagInfo(nullptr, model, *app, view));
    EXPECT_EQ(shown, (QStringList{"One", "A"}));
    const auto stored = [&] {
        return std::vector<std::string>{first.tag.title.str(), first.tag.artist.str(),
                                        second.tag.title.str(), second.tag.artist.str()};
    };
    EXPECT_EQ(stored(), (std::vector<std::string>{"One", "Y", "Two", "Y"}));

    // Cancel leaves the records alone.
    dialogtest::OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CID3TagDlg*>(modal);
        dialog->ArtistEdit()->setText("Z");
        dialog->reject();
    });
    EXPECT_FALSE(OnID3TagInfo(nullptr, model, *app, view));
    EXPECT_EQ(stored(), (std::vector<std::string>{"One", "Y", "Two", "Y"}));
    EXPECT_TRUE(view.informations.isEmpty());
}
