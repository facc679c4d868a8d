#include "support/recording_view.h"

namespace testsupport {

void RecordingView::SetLabel(int id, const QString& text) {
    labels[id] = text;
    labelLog.append(QStringLiteral("%1=%2").arg(id).arg(text));
}

void RecordingView::EnableButton(int id, bool enabled) {
    buttons[id] = enabled;
}

bool RecordingView::IsButtonEnabled(int id) const {
    return buttons.value(id, true);
}

void RecordingView::ShowPauseAsResume(bool resume) {
    pauseShowsResume = resume;
}

void RecordingView::SetProgress(int percent) {
    progress = percent;
}

void RecordingView::SetTitle(const QString& text) {
    title = text;
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

void RecordingView::ShowInformation(const QString& text, const QString&) {
    informations.append(text);
}

void RecordingView::ScrollRowIntoView(int row) {
    scrolledTo.append(row);
}

} // namespace testsupport
