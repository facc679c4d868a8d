#include "engines/encode_control.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "engines/encode_external.h"

#include <cerrno>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace {

// Below normal, normal, above normal, highest.
constexpr int NICE_OFFSETS[] = {5, 0, -5, -10};

int CurrentNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

// A raise may be refused without privileges; then the worker keeps its value.
void ApplyNice(int threadId, int nice) {
    if (threadId != 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice);
    }
}

bool IsPriorityLevel(int level) {
    return level >= PRIORITY_LOW && level <= PRIORITY_HIGHEST;
}

} // namespace

int NiceOffsetForPriority(int level) {
    return IsPriorityLevel(level) ? NICE_OFFSETS[level] : 0;
}

bool WorkerTicket::CheckPoint() const {
    control->gate.Pass();
    return control->cancelled.load();
}

bool WorkerTicket::IsCancelled() const {
    return control->cancelled.load();
}

void WorkerTicket::Finish() const {
    control->Finish(generation);
}

EncodeControl::EncodeControl()
    : baseNice(CurrentNice()), external(std::make_unique<ExternalEncoder>()) {}

EncodeControl::~EncodeControl() {
    CancelEncode();
    if (worker.joinable()) {
        worker.join();
    }
}

EncodeControl& EncodeControl::Shared() {
    static EncodeControl control;
    return control;
}

void EncodeControl::BeginEncode() {
    externalFlag.store(false);
    cancelled.store(false);
}

std::uint64_t EncodeControl::Publish() {
    const std::uint64_t generation = ++lastGeneration;
    activeWorker.store(generation);
    return generation;
}

void EncodeControl::Finish(std::uint64_t generation) {
    std::lock_guard lock(priorityMutex);
    std::uint64_t expected = generation;
    if (activeWorker.compare_exchange_strong(expected, 0)) {
        workerThreadId = 0;
    }
}

void EncodeControl::JoinFinishedWorker() {
    // The previous worker has published its end already; at most it is
    // returning from its last statements.
    if (worker.joinable()) {
        worker.join();
    }
}

bool EncodeControl::StartWorker(std::function<void(const WorkerTicket&)> body, int priority) {
    if (IsWorkerRunning()) {
        Trace("StartWorker: an encode is still running\n");
        return false;
    }
    JoinFinishedWorker();
    gate.Open();
    const std::uint64_t generation = Publish();
    try {
        // The worker's errors go where its starter's would.
        worker = std::thread(&EncodeControl::RunWorker, this, generation, priority,
                             CurrentErrorRoute(), std::move(body));
    } catch (const std::system_error& error) {
        Trace("StartWorker: couldn't create the worker thread. error = %d\n", error.code().value());
        Finish(generation);
        return false;
    }
    return true;
}

void EncodeControl::RunWorker(std::uint64_t generation, int priority, int errorRoute,
                              const std::function<void(const WorkerTicket&)>& body) {
    const ErrorRouteScope route(errorRoute);
    {
        std::lock_guard lock(priorityMutex);
        workerThreadId = static_cast<int>(gettid());
        if (IsPriorityLevel(priority)) {
            ApplyNice(workerThreadId, baseNice + NiceOffsetForPriority(priority));
        }
    }
    const WorkerTicket ticket(this, generation);
    body(ticket);
    Finish(generation);
}

bool EncodeControl::StartExternal(QObject* window, int priority, const QString& program,
                                  const QString& source, const QString& destination,
                                  std::uint32_t bitsPerSecond, int vbrQuality) {
    if (IsWorkerRunning()) {
        Trace("StartExternal: an encode is still running\n");
        return false;
    }
    gate.Open();
    const std::uint64_t generation = Publish();
    if (!external->Start(WorkerTicket(this, generation), window, program, source, destination,
                         bitsPerSecond, vbrQuality)) {
        Finish(generation);
        return false;
    }
    SetEncodePriority(priority);
    externalFlag.store(true);
    return true;
}

void EncodeControl::PauseEncode() {
    if (external->IsRunning()) {
        external->Pause();
    } else if (IsWorkerRunning()) {
        gate.Close();
    }
}

void EncodeControl::ResumeEncode() {
    if (external->IsRunning()) {
        external->Resume();
    }
    gate.Open();
}

bool EncodeControl::IsPaused() const {
    return external->IsStopped() || gate.IsClosed();
}

void EncodeControl::SetEncodePriority(int level) {
    if (!IsPriorityLevel(level)) {
        return;
    }
    const int nice = baseNice + NiceOffsetForPriority(level);
    if (external->IsRunning()) {
        external->SetNice(nice);
        return;
    }
    std::lock_guard lock(priorityMutex);
    ApplyNice(workerThreadId, nice);
}

void EncodeControl::CancelEncode() {
    cancelled.store(true);
    gate.Open();
    if (externalFlag.load()) {
        external->Cancel();
    }
}
