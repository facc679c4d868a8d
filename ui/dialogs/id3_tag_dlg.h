#pragma once

#include "tags/id3_tag_record.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

// "ID3 Tag Information": edits one tag record. The record goes in with
// SetTag and comes out with GetTag; OK turns the controls back into it.
class CID3TagDlg : public QDialog {
    Q_OBJECT
public:
    explicit CID3TagDlg(QWidget* parent = nullptr);

    void SetTag(const ID3TagRecord& record);
    void GetTag(ID3TagRecord& record) const { record = tag; }
    // The record into the controls.
    void ShowTag();

    void accept() override;

    QLineEdit* TitleEdit() const { return title; }
    QLineEdit* ArtistEdit() const { return artist; }
    QLineEdit* AlbumEdit() const { return album; }
    QLineEdit* YearEdit() const { return year; }
    QLineEdit* CommentEdit() const { return comment; }
    QComboBox* GenreList() const { return genre; }

private:
    ID3TagRecord tag;
    bool controlsExist = false;
    QLineEdit* title;
    QLineEdit* artist;
    QLineEdit* album;
    QComboBox* genre;
    QLineEdit* year;
    QLineEdit* comment;
};
