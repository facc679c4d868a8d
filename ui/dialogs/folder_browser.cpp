#include "ui/dialogs/folder_browser.h"

#include "app/strings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

CFolderBrowser::CFolderBrowser(QWidget* ownerWindow, unsigned titleId, const QString& initial)
    : owner(ownerWindow), title(ResString(titleId)), initialFolder(initial) {}

QString CFolderBrowser::StatusText(const QString& path) {
    if (path.size() <= STATUS_TEXT_CHARS) {
        return path;
    }
    return path.left(STATUS_TEXT_CHARS) + QStringLiteral("...");
}

int CFolderBrowser::DoModal() {
    // Qt's own dialog, since the platform's has no room for a status line.
    QFileDialog dialog(owner, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);

    auto* status = new QLabel(&dialog);
    status->setObjectName(QStringLiteral("status"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
    }
    QObject::connect(&dialog, &QFileDialog::currentChanged, status,
                     [status](const QString& path) { status->setText(StatusText(path)); });
    if (!initialFolder.isEmpty() && QFileInfo(initialFolder).isDir()) {
        dialog.setDirectory(initialFolder);
        status->setText(StatusText(QFileInfo(initialFolder).absoluteFilePath()));
    }

    if (dialog.exec() != QDialog::Accepted) {
        return FOLDER_NOT_CHOSEN;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || !QFileInfo(chosen.first()).isDir()) {
        return FOLDER_NOT_CHOSEN;
    }
    folder = QFileInfo(chosen.first()).absoluteFilePath();
    return FOLDER_CHOSEN;
}
