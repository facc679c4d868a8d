#include "headless/session.h"

#include "controller/queue_keeping.h"
#include "headless/progress.h"
#include "net/client_role.h"
#include "net/server_role.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"
#include "queue/queue_journal.h"

#include "app/error_log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

namespace {

// Redraws of the status line; each report thins them out further.
constexpr int PROGRESS_SAMPLE_MS = 250;
// Enough for every file running at once to find its own sentence.
constexpr std::size_t KEPT_ERRORS = 256;

QString PathKey(const QString& path) {
    return path.toCaseFolded();
}

// "File X was rejected because it is not a valid wave file." gives
// "it is not a valid wave file"; a sentence without a cause is kept whole.
QString ReasonOf(const QString& sentence) {
    static const QString BECAUSE = QStringLiteral(" because ");
    const qsizetype at = sentence.lastIndexOf(BECAUSE);
    if (at < 0) {
        return sentence;
    }
    QString reason = sentence.mid(at + BECAUSE.size());
    if (reason.endsWith(u'.')) {
        reason.chop(1);
    }
    return reason;
}

ReportedOutcome Reported(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Completed:
        return ReportedOutcome::Completed;
    case FileOutcome::Failed:
        return ReportedOutcome::Failed;
    case FileOutcome::Cancelled:
        break;
    }
    return ReportedOutcome::Cancelled;
}

void Count(BatchCounts& counts, ReportedOutcome outcome) {
    switch (outcome) {
    case ReportedOutcome::Completed:
    case ReportedOutcome::Existing:
        ++counts.completed;
        break;
    case ReportedOutcome::Failed:
        ++counts.failed;
        break;
    case ReportedOutcome::Cancelled:
        ++counts.cancelled;
        break;
    }
}

// A batch of named files has a journal of its own, found again when the same
// files are named; the watching run keeps the queue's journal.
QString JournalName(const QSet<QString>& named) {
    if (named.isEmpty()) {
        return QStringLiteral("queue.journal");
    }
    QStringList keys(named.begin(), named.end());
    std::sort(keys.begin(), keys.end());
    const QByteArray digest =
        QCryptographicHash::hash(keys.join(QChar(0)).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("batch-%1.journal").arg(QString::fromLatin1(digest.toHex().left(16)));
}

} // namespace

HeadlessSession::HeadlessSession(CEncoderApp& app, const MainController::Ports& ports,
                                 const HeadlessOutput& output)
    : report(MakeHeadlessReport(output)),
      view([this](const QString& line) { report->Message(line); }),
      controller(std::make_unique<MainController>(app, view, ports)) {
    EncodeScheduler& scheduler = controller->Scheduler();
    scheduler.fileFinished = [this](const QueueEntry& entry, FileOutcome outcome) {
        OnFileFinished(entry, outcome);
    };
    scheduler.fileStarted = [this](const QueueEntry& entry) {
        errorsAtStart.insert(PathKey(entry.path.str()), errorCount);
        report->Started(entry);
        progressTimer.start();
    };
    scheduler.errorReported = [this](const QString& message) {
        if (admitting) {
            admissionErrors.append(message);
        }
    };
    scheduler.batchEnded = [this] {
        progressTimer.stop();
        if (fileMode) {
            // Leave the handler that ended the batch before ending the run.
            QTimer::singleShot(0, this, [this] { End(); });
            return;
        }
        report->BatchFinished(counts, -1);
        counts = BatchCounts{};
    };
    // Workers add their sentences on their own threads, before they report
    // the end; queued here, they arrive before it.
    SetErrorListener([this](const QString& message) {
        if (QThread::currentThread() == thread()) {
            NoteError(message);
        } else {
            QMetaObject::invokeMethod(
                this, [this, message] { NoteError(message); }, Qt::QueuedConnection);
        }
    });
    progressTimer.setInterval(PROGRESS_SAMPLE_MS);
    connect(&progressTimer, &QTimer::timeout, this, [this] { SampleProgress(); });
    controller->Server().fileHandedOut = [this](const QueueEntry& entry, const QString& machine) {
        report->HandedOut(entry, machine);
    };
    connect(controller.get(), &MainController::QuitRequested, this, [this] {
        // A file run that is stopped has not done what it was asked to.
        failed = failed || fileMode;
        End();
    });
}

HeadlessSession::~HeadlessSession() {
    SetErrorListener(nullptr);
    controller->Scheduler().queueSaved = nullptr;
}

void HeadlessSession::KeepJournalIn(const QString& directory) {
    journalDirectory = directory;
}

void HeadlessSession::RestoreJournal(const QSet<QString>& named) {
    if (journalDirectory.isEmpty()) {
        return;
    }
    const QString path = QDir(journalDirectory).filePath(JournalName(named));
    if (named.isEmpty()) {
        journal = KeepQueueInJournal(*controller, path);
        return;
    }
    journal = KeepQueueInJournal(*controller, path, [&named](QueueEntry& entry) {
        if (!named.contains(PathKey(entry.path.str()))) {
            return false;
        }
        if (entry.status != Completed) {
            // A file named again gets a fresh try; a vanished one is refused at admission.
            entry.status = NotDone;
            entry.failedCount = 0;
            entry.failedOn = {};
            return QFileInfo::exists(entry.path);
        }
        return true;
    });
}

void HeadlessSession::Start(const QStringList& files) {
    fileMode = !files.isEmpty();
    QSet<QString> named;
    QStringList unique;
    for (const QString& file : files) {
        // A file named twice is one file, not a refused duplicate.
        if (!named.contains(PathKey(file))) {
            named.insert(PathKey(file));
            unique.append(file);
        }
    }
    RestoreJournal(named);
    if (!fileMode) {
        controller->Startup();
        return;
    }
    controller->Startup(false);
    for (const QString& file : unique) {
        Admit(file);
    }
    QueueModel& model = controller->Model();
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (entry->status == Completed && !reportedPaths.contains(PathKey(entry->path.str()))) {
            QueueEntry shown = *entry;
            shown.outputPath = controller->Scheduler().MakeOutputPath(entry->path.str());
            reportedPaths.insert(PathKey(entry->path.str()));
            Count(counts, ReportedOutcome::Existing);
            report->Finished(shown, ReportedOutcome::Existing);
        }
    }
    if (model.CountNotDone() == 0) {
        QTimer::singleShot(0, this, [this] { End(); });
        return;
    }
    controller->OnEncode();
}

void HeadlessSession::Admit(const QString& path) {
    ++counts.files;
    if (const QueueEntry* restored = controller->Model().FindEntry(path);
        restored != nullptr && controller->Model().RowOf(restored) >= 0) {
        report->Admitted(*restored);
        return;
    }
    admitting = true;
    admissionErrors.clear();
    const int admitted = controller->AddFiles({path});
    admitting = false;
    if (admitted > 0) {
        const QueueModel& model = controller->Model();
        report->Admitted(*model.EntryAt(model.RowCount() - 1));
        return;
    }
    failed = true;
    ++counts.rejected;
    reportedPaths.insert(PathKey(path));
    const QString sentence = admissionErrors.isEmpty()
                                 ? QStringLiteral("File %1 was rejected.").arg(path)
                                 : admissionErrors.constLast();
    report->Rejected(Rejection{path, ReasonOf(sentence), sentence});
}

void HeadlessSession::Quit(bool byInterrupt) {
    interrupted = interrupted || byInterrupt;
    controller->Quit();
}

bool HeadlessSession::StartNetwork(const NetworkSetup& setup) {
    const bool started = controller->StartNetwork(setup);
    for (ClientRole* client : controller->ClientRoles()) {
        client->jobStarted = [this](const QString& source) { report->ServerJobStarted(source); };
        client->jobEnded = [this, client](const QString&, FileOutcome outcome) {
            report->Finished(client->JobEntry(), Reported(outcome));
        };
        client->notice = [this](const QString& text) { report->Message(text); };
    }
    return started;
}

void HeadlessSession::OnFileFinished(const QueueEntry& entry, FileOutcome outcome) {
    const ReportedOutcome reported = Reported(outcome);
    if (reported != ReportedOutcome::Completed) {
        failed = true;
    }
    if (fileMode) {
        const QString key = PathKey(entry.path.str());
        if (reportedPaths.contains(key)) {
            return;
        }
        reportedPaths.insert(key);
    } else {
        ++counts.files;
    }
    Count(counts, reported);
    report->Finished(entry, reported,
                     reported == ReportedOutcome::Failed ? FailureReason(entry.path.str())
                                                         : QString());
    errorsAtStart.remove(PathKey(entry.path.str()));
}

void HeadlessSession::NoteError(const QString& message) {
    recentErrors.emplace_back(++errorCount, message);
    if (recentErrors.size() > KEPT_ERRORS) {
        recentErrors.pop_front();
    }
}

// The first sentence since the file began that names it (the engine's, which
// comes before the scheduler's own "Error encoding"), else the first at all.
QString HeadlessSession::FailureReason(const QString& path) const {
    const quint64 since = errorsAtStart.value(PathKey(path), 0);
    QString first;
    for (const auto& [number, message] : recentErrors) {
        if (number <= since) {
            continue;
        }
        if (message.contains(path)) {
            return message;
        }
        if (first.isEmpty()) {
            first = message;
        }
    }
    return first;
}

void HeadlessSession::SampleProgress() {
    for (const ProgressSample& sample :
         ::SampleProgress(controller->Model(), controller->Batch(), controller->Progress())) {
        report->Progress(sample);
    }
}

void HeadlessSession::ReportNeverStarted() {
    // Files the run was stopped before: each still gets its line.
    const QueueModel& model = controller->Model();
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (!reportedPaths.contains(PathKey(entry->path.str()))) {
            reportedPaths.insert(PathKey(entry->path.str()));
            Count(counts, ReportedOutcome::Cancelled);
            report->Finished(*entry, ReportedOutcome::Cancelled);
        }
    }
}

void HeadlessSession::End() {
    if (ended) {
        return;
    }
    ended = true;
    progressTimer.stop();
    if (interrupted) {
        exitCode = EXIT_INTERRUPTED;
    } else {
        exitCode = (fileMode && failed) ? EXIT_SOME_FAILED : EXIT_ALL_ENCODED;
    }
    if (journal && fileMode && exitCode == EXIT_ALL_ENCODED) {
        // Every named file is done: nothing is left to resume.
        journal->Remove();
    } else if (journal) {
        journal->Save();
    }
    if (fileMode) {
        ReportNeverStarted();
        report->BatchFinished(counts, exitCode);
    } else if (counts.files > 0) {
        report->BatchFinished(counts, exitCode);
    }
    emit Finished(exitCode);
}
