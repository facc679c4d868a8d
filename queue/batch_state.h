#pragma once

#include "queue/queue_status.h"

#include <QString>
#include <cstdint>

struct QueueEntry;

// The batch as the main window keeps it.
struct BatchState {
    int localState = Idle;
    int serverJobState = Idle;
    bool localEncoding = false;
    bool allowLocalStart = true;
    bool quitPending = false;
    std::uint32_t startTicks = 0;
    std::uint32_t pausedMillis = 0;
    std::uint32_t pauseStartTicks = 0;
    std::uint32_t fileBytes = 0;
    double audioSeconds = 0.0;
    QString ownName;
    int removedCount = 0;
    std::uint64_t removedBytes = 0;
    QString timeText;
    std::uint64_t totalBytes = 0;
    std::uint64_t finishedBytes = 0;
    double localRate = 0.0;
    QueueEntry* shownEntry = nullptr;

    bool IsBusy() const {
        return serverJobState != Idle || localState == Encoding || localState == Paused;
    }
};
