#include "headless/view.h"

void HeadlessView::SetLabel(int id, const QString& text) {
    if (id == ID_MACHINES_LABEL && text != networkStatus) {
        networkStatus = text;
        if (print) {
            print(QStringLiteral("network: %1").arg(text));
        }
    }
}

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
