#pragma once

#include "engines/encode_messages.h"
#include "support/event_pump.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <vector>

// Receives the engines' messages in place of the main window.
class EngineEvents : public QObject {
public:
    struct Progress {
        int percent;
        qint64 bytes;
        bool operator==(const Progress&) const = default;
    };
    struct Done {
        int outcome;
        QString source;
    };

    std::vector<Progress> progress;
    std::vector<Done> done;

    bool event(QEvent* event) override {
        if (event->type() == MSG_ENCODE_PROGRESS) {
            const auto* message = static_cast<EncodeProgressEvent*>(event);
            progress.push_back({static_cast<int>(message->WParam()), message->LParam()});
            return true;
        }
        if (event->type() == MSG_ENCODE_DONE) {
            auto* message = static_cast<EncodeDoneEvent*>(event);
            const auto payload = message->TakePayload();
            done.push_back({static_cast<int>(message->WParam()), payload ? *payload : QString()});
            return true;
        }
        return QObject::event(event);
    }

    // Pumps events until a completion arrives; false after `timeoutMs`.
    bool WaitForDone(int timeoutMs = 60000) {
        return testsupport::PumpUntil([&] { return !done.empty(); }, timeoutMs);
    }

    // Lets events that are still underway arrive (a second DONE would show).
    void Drain(int ms = 200) {
        testsupport::PumpUntil([] { return false; }, ms);
    }
};
