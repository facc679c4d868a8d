#pragma once

#include <cstdint>

class EncodeControl;

// Handed to a worker: its way to pass the pause gate, see a cancel, and say
// that it has ended. Finish only clears the worker state that was published
// for this worker, never that of a later one.
class WorkerTicket {
public:
    WorkerTicket(EncodeControl* control, std::uint64_t generation)
        : control(control), generation(generation) {}

    // Waits while paused; true once the encode has been cancelled.
    bool CheckPoint() const;
    bool IsCancelled() const;
    void Finish() const;

private:
    EncodeControl* control;
    std::uint64_t generation;
};
