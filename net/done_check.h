#pragma once

#include <QString>
#include <cstdint>

// Bytes per second of playing time below which an output cannot be a whole
// encode (the lowest MP3 rate, 8 kbit/s, writes 1000).
inline constexpr std::uint32_t MIN_OUTPUT_BYTES_PER_SECOND = 500;

// A client's NET_DONE is believed only when its output exists, is not empty
// and is plausibly long for the source's playing time; only then may the
// source be deleted.
bool OutputLooksComplete(const QString& outputPath, std::uint32_t durationSeconds);
