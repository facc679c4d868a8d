#include "controller/headless_view.h"

bool HeadlessView::AskOkCancel(const QString& text, const QString&) {
    // Nobody can answer: warn and go on, as OK would.
    std::fprintf(messages, "warning: %s\n", qPrintable(QString(text).replace(u'\n', u' ')));
    std::fflush(messages);
    return true;
}

void HeadlessView::ShowInformation(const QString& text, const QString&) {
    std::fprintf(messages, "%s\n", qPrintable(text));
    std::fflush(messages);
}
