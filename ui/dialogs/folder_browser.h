#pragma once

#include <QString>

class QWidget;

inline constexpr unsigned IDS_SELECT_TARGET_DIRECTORY = 33010;
inline constexpr unsigned IDS_SELECT_SOURCE_DIRECTORY = 33011;
inline constexpr int FOLDER_CHOSEN = 1;
inline constexpr int FOLDER_NOT_CHOSEN = 2;
inline constexpr int STATUS_TEXT_CHARS = 35;

// A folder picker for the Options dialog: opens on a given folder, shows the
// folder under the cursor in a status line, and gives back a file-system
// directory or nothing.
class CFolderBrowser {
public:
    CFolderBrowser(QWidget* owner, unsigned titleId, const QString& initialFolder);

    // FOLDER_CHOSEN when the user picked an existing directory, otherwise
    // FOLDER_NOT_CHOSEN.
    int DoModal();
    QString GetFolder() const { return folder; }

    // The status line: texts longer than 35 characters show their first 35
    // and "...".
    static QString StatusText(const QString& path);

private:
    QWidget* owner;
    QString title;
    QString initialFolder;
    QString folder;
};
