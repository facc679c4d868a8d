#include "queue/wave_probe.h"

#include "engines/wave_reader.h"
#include "tags/source_tags.h"

bool ReadWaveFacts(const QString& path, WaveFacts* facts) {
    WaveProperties properties;
    if (GetWaveProperties(path, &properties) != WAVE_OK) {
        return false;
    }
    facts->durationSeconds = properties.durationSeconds;
    facts->hours = properties.hours;
    facts->minutes = properties.minutes;
    facts->seconds = properties.seconds;
    facts->durationText = properties.durationText;
    facts->tag = ReadSourceTags(path).value_or(ID3TagRecord());
    return true;
}
