#pragma once

// Status of a queue entry; the same numbers are the state of a machine or of
// the whole batch, where Idle means that nothing runs.
enum QueueStatus : int {
    NotDone = 0,
    Encoding = 1,
    Completed = 2,
    Paused = 3,
    Error = 4,
    Idle = 5,
};

// An active entry is being worked on: never removed, reset or restarted.
inline bool IsActiveStatus(int status) {
    return status == Encoding || status == Paused;
}

// A status outside the known values reads as NotDone.
inline int ClampStatus(int status) {
    return (status < NotDone || status > Idle) ? NotDone : status;
}
