#pragma once

#include <condition_variable>
#include <mutex>

// Stands in for suspending a thread: the worker passes the gate at the points
// where it checks for a cancel, and waits there while the gate is closed.
class PauseGate {
public:
    void Close();
    void Open();
    bool IsClosed() const;
    // Returns at once while open; otherwise blocks until Open.
    void Pass();

private:
    mutable std::mutex mutex;
    std::condition_variable opened;
    bool closed = false;
};
