#pragma once

#include <QString>
#include <cstdint>

class QEvent;

// What an encoding worker's posted event says: MSG_ENCODE_PROGRESS or its
// one MSG_ENCODE_DONE.
struct WorkerReport {
    bool done = false;
    bool outcome = false; // done: encoded completely
    QString path;         // done: the source
    int percent = 0;
    std::uint32_t bytesDone = 0;
};

// False for any other event; a done event's payload is taken.
bool ReadWorkerReport(QEvent* event, WorkerReport& report);
