#pragma once

#include <QByteArray>
#include <vector>

inline constexpr char FRAME_START[3] = {'\xFE', '\xFD', '\xFC'};
inline constexpr char FRAME_END[3] = {'\xFA', '\xF9', '\xF8'};
inline constexpr int FRAME_MARKER_LENGTH = 3;
inline constexpr int FRAME_OVERHEAD = 10;       // markers and the 4-byte type
inline constexpr int LARGEST_FRAME = 3128 + 10; // a progress record
// Bytes a connection may hold without a complete frame; a peer that sends
// more is not speaking the protocol.
inline constexpr int MAX_UNFRAMED_BYTES = 2 * LARGEST_FRAME + 1024;

// The received bytes of one connection, cut into frames: a frame runs from a
// start marker to the first end marker that begins at least three bytes
// later; bytes before the start marker are dropped with the frame.
class FrameCutter {
public:
    // Appends the bytes and moves every complete frame, in order, to `frames`.
    // False when the bytes still held exceed MAX_UNFRAMED_BYTES.
    bool Feed(const char* bytes, int length, std::vector<QByteArray>& frames);
    int Held() const { return int(held.size()); }
    void Clear() { held.clear(); }

private:
    QByteArray held;
};

// Position of `marker` in `data` at or after `from`, or -1.
int FindMarker(const QByteArray& data, const char* marker, int from);
