#include "controller/headless_session.h"

#include "net/client_role.h"
#include "net/server_role.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"

#include <QTimer>

HeadlessSession::HeadlessSession(CEncoderApp& app, const MainController::Ports& ports,
                                 std::FILE* status, std::FILE* messages)
    : view(messages), controller(std::make_unique<MainController>(app, view, ports)),
      status(status) {
    EncodeScheduler& scheduler = controller->Scheduler();
    scheduler.fileFinished = [this](const QueueEntry& entry, FileOutcome outcome) {
        switch (outcome) {
        case FileOutcome::Completed:
            PrintStatus(entry, QStringLiteral("Completed"));
            break;
        case FileOutcome::Failed:
            failed = true;
            PrintStatus(entry, QStringLiteral("Error"));
            break;
        case FileOutcome::Cancelled:
            failed = true;
            PrintStatus(entry, QStringLiteral("Cancelled"));
            break;
        }
    };
    scheduler.batchEnded = [this] {
        if (fileMode) {
            // Leave the handler that ended the batch before ending the run.
            QTimer::singleShot(0, this, [this] { End(); });
        }
    };
    controller->Server().fileHandedOut = [this](const QueueEntry& entry, const QString& machine) {
        std::fprintf(this->status, "%s\tHanded out\t%s\n", qPrintable(entry.path.str()),
                     qPrintable(machine));
        std::fflush(this->status);
    };
    connect(controller.get(), &MainController::QuitRequested, this, [this] {
        // A file run that is stopped has not done what it was asked to.
        failed = failed || fileMode;
        End();
    });
}

HeadlessSession::~HeadlessSession() = default;

void HeadlessSession::Start(const QStringList& files) {
    fileMode = !files.isEmpty();
    if (!fileMode) {
        controller->Startup();
        return;
    }
    controller->Startup(false);
    // A file named twice is one file, not a refused duplicate.
    QStringList unique;
    for (const QString& file : files) {
        if (!unique.contains(file, Qt::CaseInsensitive)) {
            unique.append(file);
        }
    }
    const int admitted = controller->AddFiles(unique);
    if (admitted < unique.size()) {
        failed = true;
    }
    QueueModel& model = controller->Model();
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (entry->status == Completed) {
            PrintStatus(*entry, QStringLiteral("Completed (output exists)"));
        }
    }
    if (model.CountNotDone() == 0) {
        QTimer::singleShot(0, this, [this] { End(); });
        return;
    }
    controller->OnEncode();
}

void HeadlessSession::Quit() {
    controller->Quit();
}

bool HeadlessSession::StartNetwork(const NetworkSetup& setup) {
    const bool started = controller->StartNetwork(setup);
    if (ClientRole* client = controller->Client()) {
        client->jobStarted = [this](const QString& source) {
            std::fprintf(status, "%s\tEncoding for server\n", qPrintable(source));
            std::fflush(status);
        };
        client->jobEnded = [this](const QString&, FileOutcome outcome) {
            const QString text = outcome == FileOutcome::Completed ? QStringLiteral("Completed")
                                 : outcome == FileOutcome::Failed  ? QStringLiteral("Error")
                                                                   : QStringLiteral("Cancelled");
            PrintStatus(controller->Progress().ServerJobEntry(), text);
        };
    }
    return started;
}

void HeadlessSession::PrintStatus(const QueueEntry& entry, const QString& outcome) {
    const QString time =
        entry.elapsedText.isEmpty() ? QStringLiteral("00:00") : entry.elapsedText.str();
    const QString ratio = entry.ratioText.isEmpty() ? QStringLiteral("-") : entry.ratioText.str();
    std::fprintf(status, "%s\t%s\t%s\t%s\n", qPrintable(entry.path.str()), qPrintable(outcome),
                 qPrintable(time), qPrintable(ratio));
    std::fflush(status);
}

void HeadlessSession::End() {
    if (ended) {
        return;
    }
    ended = true;
    exitCode = (fileMode && failed) ? 1 : 0;
    emit Finished(exitCode);
}
