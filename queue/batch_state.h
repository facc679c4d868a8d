#pragma once

#include "queue/queue_status.h"

#include <QString>
#include <cstdint>
#include <vector>

struct QueueEntry;

// The file on one local worker and its clock.
struct LocalWorkerState {
    bool encoding = false; // a file of the queue runs on it
    QString sourcePath;
    std::uint32_t startTicks = 0;
    std::uint32_t pausedMillis = 0;
    std::uint32_t pauseStartTicks = 0;
    std::uint32_t fileBytes = 0;
    double audioSeconds = 0.0;
    int laneJob = Idle; // a client lane's job for a server on this worker

    // A new file on this worker: its clock starts at `now`.
    void Start(const QString& source, std::uint32_t size, std::uint32_t now) {
        sourcePath = source;
        startTicks = now;
        pausedMillis = 0;
        pauseStartTicks = 0;
        fileBytes = size;
        audioSeconds = 0.0;
    }
    // Time the file has been encoding, paused time left out.
    std::uint32_t ElapsedMillis(std::uint32_t now) const { return now - pausedMillis - startTicks; }
};

// The batch as the main window keeps it.
struct BatchState {
    int localState = Idle; // Paused: every local worker is held
    int serverJobState = Idle;
    bool allowLocalStart = true;
    // The user cleared this machine's mark in the Network dialog; Encode sets
    // it again. Unlike a mark cleared because this machine ran out of files,
    // no one else may set it.
    bool localMarkCleared = false;
    bool quitPending = false;
    // One per local worker; the first also runs a job for a server.
    std::vector<LocalWorkerState> workers = std::vector<LocalWorkerState>(1);
    QString ownName;
    int removedCount = 0;
    std::uint64_t removedBytes = 0;
    QString timeText;
    std::uint64_t totalBytes = 0;
    std::uint64_t finishedBytes = 0;
    double localRate = 0.0;
    QueueEntry* shownEntry = nullptr;

    bool LocalEncoding() const {
        for (const LocalWorkerState& worker : workers) {
            if (worker.encoding) {
                return true;
            }
        }
        return false;
    }
    // The queue's batch or the first worker's job for a server.
    bool IsBusyBesidesLanes() const {
        return serverJobState != Idle || localState == Encoding || localState == Paused;
    }
    // Jobs for a server on the workers beyond the first (a client's lanes).
    int LaneJobs() const {
        int jobs = 0;
        for (const LocalWorkerState& worker : workers) {
            jobs += worker.laneJob != Idle ? 1 : 0;
        }
        return jobs;
    }
    bool IsBusy() const { return IsBusyBesidesLanes() || LaneJobs() > 0; }
    // Some worker still has a file, of the queue or of a server.
    bool AnythingRunning() const {
        return LocalEncoding() || serverJobState != Idle || LaneJobs() > 0;
    }
    // Every lane job is held (and there is one).
    bool LaneJobsPaused() const {
        bool any = false;
        for (const LocalWorkerState& worker : workers) {
            if (worker.laneJob == Encoding) {
                return false;
            }
            any = any || worker.laneJob == Paused;
        }
        return any;
    }
};
