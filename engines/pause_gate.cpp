#include "engines/pause_gate.h"

void PauseGate::Close() {
    std::lock_guard lock(mutex);
    closed = true;
}

void PauseGate::Open() {
    {
        std::lock_guard lock(mutex);
        closed = false;
    }
    opened.notify_all();
}

bool PauseGate::IsClosed() const {
    std::lock_guard lock(mutex);
    return closed;
}

void PauseGate::Pass() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [this] { return !closed; });
}
