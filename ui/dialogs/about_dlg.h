#pragma once

#include <QDialog>

class CEncoderApp;
class CStaticLink;
class QLabel;

// A small window showing one of the dialog's hidden pictures.
class CPictureDlg : public QDialog {
    Q_OBJECT
public:
    CPictureDlg(int bitmapId, QWidget* parent);
    int BitmapId() const { return bitmapId; }

private:
    int bitmapId;
};

// The About dialog: the program's name and version, and the Blade library's
// name, version and home page while it is loaded.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* Control(int id) const;
    CStaticLink* LibraryLink() const { return libraryLink; }
    CStaticLink* ProgramLink() const { return programLink; }

    // Ctrl+click on the title or the library's name: its picture window.
    static constexpr int TITLE_PICTURE = 147;
    static constexpr int LIBRARY_PICTURE = 152;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowLibrary();

    QLabel* title;
    QLabel* libraryName;
    CStaticLink* libraryLink;
    CStaticLink* programLink;
};

// Centres the dialog on `parent` and runs it modally; returns its result.
int RunAboutDialog(QWidget* parent, CEncoderApp& app);
