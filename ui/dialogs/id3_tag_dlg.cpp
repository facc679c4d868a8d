#include "ui/dialogs/id3_tag_dlg.h"

#include "tags/genres.h"
#include "tags/tag_dialog_fields.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* Edit(QWidget* parent, int id, int limit) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setMaxLength(limit);
    edit->setMinimumWidth(limit > int(TAG_YEAR_LENGTH) ? 260 : 60);
    return edit;
}

} // namespace

CID3TagDlg::CID3TagDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("ID3 Tag Information"));
    auto* group = new QGroupBox(QStringLiteral("Enter ID3 Tag Information"), this);
    title = Edit(group, 1056, int(TAG_TEXT_FIELD_SIZE));
    artist = Edit(group, 1058, int(TAG_TEXT_FIELD_SIZE));
    album = Edit(group, 1059, int(TAG_TEXT_FIELD_SIZE));
    year = Edit(group, 1060, int(TAG_YEAR_LENGTH));
    comment = Edit(group, 1062, int(TAG_TEXT_FIELD_SIZE));
    genre = new QComboBox(group);
    genre->setObjectName(QStringLiteral("1057"));
    genre->setMaxVisibleItems(16);
    // The list shows the names sorted; each item knows its genre number.
    for (int number : SortedGenreNumbers()) {
        genre->addItem(GenreName(number), number);
    }

    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Title/Show Name"), title);
    form->addRow(QStringLiteral("Lead Artist/Performing Group"), artist);
    form->addRow(QStringLiteral("Album/Movie/Show Title"), album);
    form->addRow(QStringLiteral("Genre"), genre);
    form->addRow(QStringLiteral("Year"), year);
    form->addRow(QStringLiteral("Comment"), comment);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CID3TagDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CID3TagDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);

    controlsExist = true;
    ShowTag();
}

void CID3TagDlg::SetTag(const ID3TagRecord& record) {
    tag = record;
    if (controlsExist) {
        ShowTag();
    }
}

void CID3TagDlg::ShowTag() {
    const TagDialogFields fields = ShowTagFields(tag);
    genre->setCurrentIndex(fields.genre == NO_GENRE ? -1 : genre->findData(fields.genre));
    year->setText(fields.year);
    title->setText(fields.title);
    artist->setText(fields.artist);
    album->setText(fields.album);
    comment->setText(fields.comment);
}

void CID3TagDlg::accept() {
    TagDialogFields fields;
    fields.title = title->text();
    fields.artist = artist->text();
    fields.album = album->text();
    fields.year = year->text();
    fields.comment = comment->text();
    fields.genre = genre->currentIndex() < 0 ? NO_GENRE : genre->currentData().toInt();
    tag = RecordFromDialog(fields);
    QDialog::accept();
}
