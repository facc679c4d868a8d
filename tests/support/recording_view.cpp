#include "support/recording_view.h"

namespace testsupport {

void RecordingView::SetLabel(int id, const QString& text) {
    labels[id] = text;
    labelLog.append(QStringLiteral("%1=%2").arg(id).arg(text));
}

void RecordingView::SetTrayTip(const QString& tip) {
    trayTip = tip;
    trayTips.append(tip);
}

bool RecordingView::AskOkCancel(const QString& text, const QString&) {
    questions.append(text);
    if (whileAsking) {
        whileAsking();
    }
    return answerOk;
}

} // namespace testsupport
