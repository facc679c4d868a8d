#pragma once

#include <QDialog>

class CEncoderApp;
class QListWidget;
class QPushButton;

// "Encoder Errors": the error log line by line, rebuilt from the file each
// time it opens, with a button that deletes the log.
class CErrorsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CErrorsDlg(QWidget* parent = nullptr);

    // Fills the list from the log; a missing or unreadable log leaves it empty.
    void LoadErrors();
    // The same from another file (pictures of the dialog).
    void LoadErrorsFrom(const QString& path);
    // Deletes the log and empties the list; the dialog stays open.
    void OnClearErrors();

    QListWidget* ErrorList() const { return list; }
    QPushButton* ClearButton() const { return clear; }
    // The width the list can be scrolled across: the longest line, a scroll
    // arrow and 2 pixels; 0 while nothing is listed.
    int HorizontalExtent() const { return horizontalExtent; }

private:
    void SetHorizontalExtent(int extent);

    QListWidget* list;
    QPushButton* clear;
    int horizontalExtent = 0;
};

// Centres the dialog on `parent` and runs it modally; returns its result.
int RunErrorsDialog(QWidget* parent, CEncoderApp& app);
