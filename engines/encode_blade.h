#pragma once

#include "engines/library_binding.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

class EncodeControl;
class WorkerTicket;

// What the chosen format asks of the stream beyond its bitrate. Only the
// LAME library honours it (through the LAME form of the configuration).
struct StreamChoice {
    int vbrQuality = -1;      // 0 (best) to 9 for VBR; -1 constant bitrate
    bool jointStereo = false; // otherwise left/right stereo
};

// One library encode, owned by its worker.
struct BeJob {
    EncodeControl* owner = nullptr;
    QPointer<QObject> window; // null: no messages are posted
    QString source;
    QString destination;
    std::uint32_t bitrate = 0; // kbit/s; of a VBR format its nominal rate
    std::uint32_t libraryIndex = 0;
    EncoderEntryPoints library;
    StreamChoice choice;
};

// Starts an encode of `source` with a library; `library` is null when the
// library is not available. 1 started, 0 not (with no message when the
// worker could not be made).
int StartLibraryEncode(EncodeControl& owner, unsigned libraryIndex,
                       const EncoderEntryPoints* library, QObject* window, int priority,
                       const QString& source, const QString& destination,
                       std::uint32_t avgBytesPerSec, const StreamChoice& choice = {});

// Starts the worker at the given priority; false when it could not be made.
bool StartBeThread(unsigned libraryIndex, EncodeControl& owner, const EncoderEntryPoints& library,
                   QObject* window, const QString& source, const QString& destination,
                   std::uint32_t bitrate, int priority, const StreamChoice& choice = {});

// The worker: reads, encodes and writes the whole file, posts MSG_ENCODE_DONE
// and returns 1 when the file was encoded completely, else 0.
int convertbladethread(const BeJob& job, const WorkerTicket& ticket);
