#include "queue/worker_report.h"

#include "app/messages.h"

bool ReadWorkerReport(QEvent* event, WorkerReport& report) {
    switch (static_cast<int>(event->type())) {
    case MSG_ENCODE_DONE:
        report.done = true;
        if (auto* done = dynamic_cast<PayloadEvent<QString>*>(event)) {
            report.outcome = done->WParam() == 1;
            if (std::unique_ptr<QString> payload = done->TakePayload()) {
                report.path = *payload;
            }
        }
        return true;
    case MSG_ENCODE_PROGRESS:
        if (auto* progress = dynamic_cast<PlainEvent*>(event)) {
            report.percent = static_cast<int>(progress->WParam());
            report.bytesDone = static_cast<std::uint32_t>(progress->LParam());
            return true;
        }
        return false;
    default:
        return false;
    }
}
