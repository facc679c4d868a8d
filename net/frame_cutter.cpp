#include "net/frame_cutter.h"

#include <QByteArrayView>

int FindMarker(const QByteArray& data, const char* marker, int from) {
    if (from < 0 || from > data.size() - FRAME_MARKER_LENGTH) {
        return -1;
    }
    return int(data.indexOf(QByteArrayView(marker, FRAME_MARKER_LENGTH), from));
}

bool FrameCutter::Feed(const char* bytes, int length, std::vector<QByteArray>& frames) {
    if (length > 0) {
        held.append(bytes, length);
    }
    int start = FindMarker(held, FRAME_START, 0);
    while (start >= 0) {
        const int end = FindMarker(held, FRAME_END, start + FRAME_MARKER_LENGTH);
        if (end < 0) {
            break;
        }
        frames.push_back(held.mid(start, end - start + FRAME_MARKER_LENGTH));
        held.remove(0, end + FRAME_MARKER_LENGTH);
        if (held.isEmpty()) {
            break;
        }
        start = FindMarker(held, FRAME_START, 0);
    }
    return held.size() <= MAX_UNFRAMED_BYTES;
}
