#pragma once

#include <QString>
#include <functional>

class QUrl;
class QWidget;

// The help page of a program in `programDirectory`: "help/index.html" beside
// it (a build tree), else in the data folder of the install it belongs to.
// Empty when there is none.
QString FindHelpPage(const QString& programDirectory);

// How the page is opened; the desktop's browser by default. Tests replace it;
// an empty opener restores the default.
using HelpOpener = std::function<bool(const QUrl&)>;
void SetHelpOpener(HelpOpener opener);

// Opens the help page of the program in `programDirectory`; a page that is
// missing or cannot be opened is reported in a message box above `parent`.
bool OpenHelpPage(QWidget* parent, const QString& programDirectory);

// The same for this program (F1).
bool OpenHelp(QWidget* parent);
