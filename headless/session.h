#pragma once

#include "controller/main_controller.h"
#include "headless/report.h"
#include "headless/view.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>
#include <utility>

enum class FileOutcome;
class QueueJournal;

// One run without a window. Without files it watches the source folder as
// the window would; with files it encodes just those and ends when the batch
// has ended. Every named file gets exactly one line (or JSON event) of outcome.
class HeadlessSession : public QObject {
    Q_OBJECT

public:
    HeadlessSession(CEncoderApp& app, const MainController::Ports& ports,
                    const HeadlessOutput& output = HeadlessOutput{});
    ~HeadlessSession() override;

    // Keeps the queue in a journal in this directory, so that a run started
    // again after a crash resumes it. Call before Start.
    void KeepJournalIn(const QString& directory);
    // Starts the work; returns at once. Finished() comes when it is over.
    void Start(const QStringList& files);
    // Quit as the window's Quit button does (signals land here); an
    // interrupted run (Ctrl+C) ends with EXIT_INTERRUPTED.
    void Quit(bool interrupted = false);
    // The network role of the settings; a client reports each job it takes
    // and how it ended.
    bool StartNetwork(const NetworkSetup& setup);

    MainController& Controller() { return *controller; }
    // The queue's journal, once the run has started with one.
    const QueueJournal* Journal() const { return journal.get(); }
    int ExitCode() const { return exitCode; }

signals:
    void Finished(int exitCode);

private:
    void RestoreJournal(const QSet<QString>& named);
    void Admit(const QString& path);
    void OnFileFinished(const QueueEntry& entry, FileOutcome outcome);
    void SampleProgress();
    void ReportNeverStarted();
    void End();
    void NoteError(const QString& message);
    QString FailureReason(const QString& path) const;

    std::unique_ptr<HeadlessReport> report;
    HeadlessView view;
    std::unique_ptr<MainController> controller;
    std::unique_ptr<QueueJournal> journal;
    QString journalDirectory;
    QTimer progressTimer;
    BatchCounts counts;
    QSet<QString> reportedPaths; // named files that have their line
    QStringList admissionErrors; // error-log sentences of the file being admitted
    // Recent error-log sentences, numbered; each running file remembers the
    // number its run began at, so its failure can be given with its reason.
    std::deque<std::pair<quint64, QString>> recentErrors;
    quint64 errorCount = 0;
    QHash<QString, quint64> errorsAtStart;
    bool admitting = false;
    bool fileMode = false;
    bool failed = false;
    bool interrupted = false;
    bool ended = false;
    int exitCode = 0;
};
