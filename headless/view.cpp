#include "headless/view.h"

bool HeadlessView::AskOkCancel(const QString& text, const QString&) {
    // Nobody can answer: warn and go on, as OK would.
    if (print) {
        print(QStringLiteral("warning: %1").arg(QString(text).replace(u'\n', u' ')));
    }
    return true;
}

void HeadlessView::ShowInformation(const QString& text, const QString&) {
    if (print) {
        print(text);
    }
}
