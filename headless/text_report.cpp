#include "headless/text_report.h"

#include "queue/queue_entry.h"

#include <QFileInfo>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A terminal redraw costs little, but more than a few a second only flickers.
constexpr qint64 MIN_REDRAW_MS = 200;
constexpr int FALLBACK_COLUMNS = 80;

// Back to the start of the line and erase it.
constexpr const char* ERASE_LINE = "\r\033[K";

QString OutcomeText(ReportedOutcome outcome) {
    switch (outcome) {
    case ReportedOutcome::Completed:
        return QStringLiteral("Completed");
    case ReportedOutcome::Existing:
        return QStringLiteral("Completed (output exists)");
    case ReportedOutcome::Failed:
        return QStringLiteral("Error");
    case ReportedOutcome::Cancelled:
        return QStringLiteral("Cancelled");
    }
    return QString();
}

} // namespace

QString FormatStatusLine(const ProgressSample& sample) {
    QString line = QStringLiteral("[%1/%2] %3  %4%")
                       .arg(sample.fileNumber)
                       .arg(sample.fileCount)
                       .arg(QFileInfo(sample.path).fileName())
                       .arg(sample.percent);
    if (sample.running > 1) {
        line += QStringLiteral("  (+%1 running)").arg(sample.running - 1);
    }
    line += QStringLiteral("  batch %1%").arg(sample.batchPercent);
    line += QStringLiteral("  elapsed %1")
                .arg(sample.elapsedText.isEmpty() ? QStringLiteral("00:00") : sample.elapsedText);
    if (!sample.remainingText.isEmpty()) {
        line += QStringLiteral("  remaining %1").arg(sample.remainingText);
    }
    if (!sample.ratioText.isEmpty()) {
        line += QStringLiteral("  ratio %1").arg(sample.ratioText);
    }
    return line;
}

HeadlessTextReport::HeadlessTextReport(const HeadlessOutput& output) : output(output) {}

void HeadlessTextReport::Rejected(const Rejection& rejection) {
    WriteLine(output.quiet ? output.err : output.out,
              QStringLiteral("%1\tRejected\t00:00\t-\t%2").arg(rejection.path, rejection.reason));
}

void HeadlessTextReport::Message(const QString& text) {
    if (!output.quiet) {
        WriteLine(output.err, text);
    }
}

void HeadlessTextReport::Progress(const ProgressSample& sample) {
    if (!output.terminal || output.quiet) {
        return;
    }
    const qint64 now = output.clock();
    if (lastDrawMs >= 0 && now - lastDrawMs < MIN_REDRAW_MS) {
        return;
    }
    // A line longer than the terminal wraps, and the redraw would then leave
    // the wrapped part behind.
    const QString text = FormatStatusLine(sample).left(TerminalColumns() - 1);
    if (statusShown && text == shownText) {
        return;
    }
    std::fprintf(output.out, "%s%s", ERASE_LINE, text.toLocal8Bit().constData());
    std::fflush(output.out);
    statusShown = true;
    shownText = text;
    lastDrawMs = now;
}

void HeadlessTextReport::Finished(const QueueEntry& entry, ReportedOutcome outcome,
                                  const QString& reason) {
    const bool problem =
        outcome == ReportedOutcome::Failed || outcome == ReportedOutcome::Cancelled;
    if (output.quiet && !problem) {
        return;
    }
    const QString time =
        entry.elapsedText.isEmpty() ? QStringLiteral("00:00") : entry.elapsedText.str();
    const QString ratio = entry.ratioText.isEmpty() ? QStringLiteral("-") : entry.ratioText.str();
    QString line =
        QStringLiteral("%1\t%2\t%3\t%4").arg(entry.path.str(), OutcomeText(outcome), time, ratio);
    if (!reason.isEmpty()) {
        line += u'\t' + reason;
    }
    WriteLine(output.quiet ? output.err : output.out, line);
}

void HeadlessTextReport::WriteLine(std::FILE* stream, const QString& line) {
    // Standard error usually shares the terminal with the status line.
    ClearStatusLine();
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

void HeadlessTextReport::ClearStatusLine() {
    if (!statusShown) {
        return;
    }
    std::fputs(ERASE_LINE, output.out);
    std::fflush(output.out);
    statusShown = false;
    shownText.clear();
    // The next file's first figures show at once.
    lastDrawMs = -1;
}

int HeadlessTextReport::TerminalColumns() const {
    winsize size{};
    if (::ioctl(::fileno(output.out), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
        return size.ws_col;
    }
    return FALLBACK_COLUMNS;
}

void HeadlessTextReport::HandedOut(const QueueEntry& entry, const QString& machine) {
    if (!output.quiet) {
        WriteLine(output.out, QStringLiteral("%1\tHanded out\t%2").arg(entry.path.str(), machine));
    }
}

void HeadlessTextReport::ServerJobStarted(const QString& path) {
    if (!output.quiet) {
        WriteLine(output.out, QStringLiteral("%1\tEncoding for server").arg(path));
    }
}
