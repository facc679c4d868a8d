#include "controller/queue_keeping.h"

#include "controller/main_controller.h"
#include "queue/encode_scheduler.h"
#include "queue/queue_entry.h"
#include "queue/queue_journal.h"

#include <QDir>
#include <QFileInfo>

std::unique_ptr<QueueJournal> KeepQueueInJournal(MainController& controller, const QString& path,
                                                 const std::function<bool(QueueEntry&)>& keep) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto journal = std::make_unique<QueueJournal>(controller.Model(), path);
    QueueJournal* saved = journal.get();
    EncodeScheduler& scheduler = controller.Scheduler();
    scheduler.queueSaved = [saved] { saved->Save(); };
    journal->Restore([&keep, &scheduler](QueueEntry& entry) {
        if (keep && !keep(entry)) {
            return false;
        }
        const QString output = entry.outputPath.isEmpty() ? scheduler.MakeOutputPath(entry.path)
                                                          : entry.outputPath.str();
        // Only an output still in place under its final name counts.
        if (entry.status == Completed && !QFileInfo::exists(output)) {
            entry.status = NotDone;
        }
        return true;
    });
    return journal;
}
