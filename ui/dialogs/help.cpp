#include "ui/dialogs/help.h"

#include "app/install_layout.h"
#include "app/strings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

constexpr unsigned IDS_MESSAGE_TITLE = 33007;
const char* const HELP_PAGE = "help/index.html";

HelpOpener& Opener() {
    static HelpOpener opener;
    return opener;
}

QString PageIn(const QString& folder) {
    if (folder.isEmpty()) {
        return QString();
    }
    const QString page = QDir(folder).filePath(QString::fromLatin1(HELP_PAGE));
    return QFileInfo(page).isFile() ? QDir::cleanPath(QFileInfo(page).absoluteFilePath())
                                    : QString();
}

} // namespace

QString FindHelpPage(const QString& programDirectory) {
    const QString beside = PageIn(programDirectory);
    return beside.isEmpty() ? PageIn(InstalledDataDirectory(programDirectory)) : beside;
}

void SetHelpOpener(HelpOpener opener) {
    Opener() = std::move(opener);
}

bool OpenHelpPage(QWidget* parent, const QString& programDirectory) {
    const QString page = FindHelpPage(programDirectory);
    if (page.isEmpty()) {
        QMessageBox::warning(parent, ResString(IDS_MESSAGE_TITLE),
                             QStringLiteral("The help page (%1) was not found beside the program "
                                            "or in its installed data folder.")
                                 .arg(QString::fromLatin1(HELP_PAGE)));
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(page);
    const bool opened = Opener() ? Opener()(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        QMessageBox::warning(parent, ResString(IDS_MESSAGE_TITLE),
                             QStringLiteral("The help page %1 could not be opened.").arg(page));
    }
    return opened;
}

bool OpenHelp(QWidget* parent) {
    return OpenHelpPage(parent, QCoreApplication::applicationDirPath());
}
