#pragma once

#include "tags/id3_tag_record.h"

#include <QString>
#include <cstdint>
#include <functional>

class QueueModel;
struct QueueEntry;

// Playing time of a WAV file, as the wave reader gives it.
struct WaveFacts {
    double durationSeconds = 0.0;
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    QString durationText;
    ID3TagRecord tag; // the file's own tags (INFO texts, an ID3 chunk); empty when none
};

// True with the facts filled when the file is a usable PCM WAV file.
using WaveProbe = std::function<bool(const QString& path, WaveFacts* facts)>;

struct AdmissionContext {
    WaveProbe probe;
    std::function<QString(const QString& sourcePath)> outputPathOf;
    std::function<void(const QString& message)> reportError;
};

// Admits one file into the queue array (no row is added); null when it is
// refused: empty, a duplicate, too long a path, or not a valid WAV file.
QueueEntry* AddNewFile(QueueModel& model, const QString& path, const AdmissionContext& context);
