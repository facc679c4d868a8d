#pragma once

#include "engines/pause_gate.h"
#include "engines/worker_ticket.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ExternalEncoder;

// Priority levels of the Options dialog's slider.
inline constexpr int PRIORITY_LOW = 0;
inline constexpr int PRIORITY_NORMAL = 1;
inline constexpr int PRIORITY_HIGH = 2;
inline constexpr int PRIORITY_HIGHEST = 3;

// The nice value added to the program's own for a priority level, or 0 for a
// level that is not one of the four.
int NiceOffsetForPriority(int level);

// The single encoding worker and the controls that act on it from the main
// thread. One encode at a time: a worker thread for the in-process engines or
// a child process for the external encoder.
class EncodeControl {
public:
    EncodeControl();
    ~EncodeControl();
    EncodeControl(const EncodeControl&) = delete;
    EncodeControl& operator=(const EncodeControl&) = delete;

    // Clears the cancel and external-encoder flags at the start of an encode.
    void BeginEncode();

    // Runs `body` on a new worker thread at the given priority. The worker is
    // published before it can run, so it can never end before it is known.
    // False (and nothing started) when a worker still runs or no thread can
    // be made.
    bool StartWorker(std::function<void(const WorkerTicket&)> body, int priority);

    // The external encoder: the child writes `destination` itself. False when
    // the program is missing (after "Xing encoder couldn't be found.") or
    // the child could not be started. A VBR preset (0 to 9) replaces the bit rate.
    bool StartExternal(QObject* window, int priority, const QString& program, const QString& source,
                       const QString& destination, std::uint32_t bitsPerSecond,
                       int vbrQuality = -1);

    void PauseEncode();
    void ResumeEncode();
    void SetEncodePriority(int level);
    // Sets the cancel flag and lets a paused worker go on, so it sees it.
    void CancelEncode();
    bool IsEncodeCancelled() const { return cancelled.load(); }
    bool IsExternalEncoderRunning() const { return externalFlag.load(); }
    bool IsWorkerRunning() const { return activeWorker.load() != 0; }
    bool IsPaused() const;

    // The program-wide instance that the catalogue's controls act on.
    static EncodeControl& Shared();

private:
    friend class WorkerTicket;

    std::uint64_t Publish();
    void Finish(std::uint64_t generation);
    void RunWorker(std::uint64_t generation, int priority, int errorRoute,
                   const std::function<void(const WorkerTicket&)>& body);
    void JoinFinishedWorker();

    std::atomic<bool> cancelled{false};
    std::atomic<bool> externalFlag{false};
    // The generation of the running worker, 0 when none runs.
    std::atomic<std::uint64_t> activeWorker{0};
    std::uint64_t lastGeneration = 0;
    PauseGate gate;
    std::thread worker;

    // Guards the worker's thread id, so a priority change never reaches a
    // thread id that has been reused after the worker ended.
    std::mutex priorityMutex;
    int workerThreadId = 0;
    int baseNice = 0;

    std::unique_ptr<ExternalEncoder> external;
};
