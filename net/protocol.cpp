#include "net/protocol.h"

#include "app/trace.h"
#include "net/frame_cutter.h"
#include "net/wire_bytes.h"

int EventForType(std::uint32_t type) {
    switch (type) {
    case NET_HEARTBEAT:
        return MSG_NET_HEARTBEAT;
    case NET_CANENCODE:
        return MSG_NET_CANENCODE;
    case NET_CANENCODE_REPLY:
        return MSG_NET_CANENCODE_REPLY;
    case NET_ENCODE:
        return MSG_NET_ENCODE;
    case NET_CANCEL:
        return MSG_NET_CANCEL;
    case NET_DONE:
        return MSG_NET_DONE;
    case NET_FAILED:
        return MSG_NET_FAILED;
    case NET_PAUSE:
        return MSG_NET_PAUSE;
    case NET_RESUME:
        return MSG_NET_RESUME;
    case NET_PROGRESS:
        return MSG_NET_PROGRESS;
    case NET_ERROR:
        return MSG_NET_ERROR;
    default:
        return 0;
    }
}

bool PayloadSizeFits(std::uint32_t type, int length) {
    switch (type) {
    case NET_HEARTBEAT:
        return length >= 1 && length <= NAME_PAYLOAD_SIZE;
    case NET_CANENCODE:
    case NET_ENCODE:
        return length == ENCODE_JOB_SIZE;
    case NET_CANENCODE_REPLY:
        return length == REPLY_CODE_SIZE;
    case NET_PROGRESS:
        return length == PROGRESS_RECORD_SIZE;
    case NET_ERROR:
        return length >= 1 && length <= MAX_ERROR_PAYLOAD;
    case NET_CANCEL:
    case NET_DONE:
    case NET_FAILED:
    case NET_PAUSE:
    case NET_RESUME:
        return length == 0;
    default:
        return false;
    }
}

QByteArray BuildFrame(std::uint32_t type, const char* payload, int length) {
    QByteArray frame;
    frame.reserve(length + FRAME_OVERHEAD);
    frame.append(FRAME_START, FRAME_MARKER_LENGTH);
    AppendU32(frame, type);
    if (length > 0) {
        frame.append(payload, length);
    }
    frame.append(FRAME_END, FRAME_MARKER_LENGTH);
    return frame;
}

bool DispatchFrame(const char* frame, int length, int slot, const FramePoster& post) {
    if (length < FRAME_OVERHEAD) {
        Trace("sockdispatch: dropped a frame of %d bytes on slot %d\n", length, slot);
        return false;
    }
    const std::uint32_t type = ReadU32(frame + 3);
    const int payloadLength = length - FRAME_OVERHEAD;
    Trace("sockdispatch: header = %ld length = %d\n", long(type), payloadLength);
    const int event = EventForType(type);
    if (event == 0) {
        Trace("sockdispatch: dropped a frame of unknown type %lu on slot %d\n",
              static_cast<unsigned long>(type), slot);
        return false;
    }
    if (!PayloadSizeFits(type, payloadLength)) {
        Trace("sockdispatch: dropped a type %lu frame on slot %d: payload of %d bytes\n",
              static_cast<unsigned long>(type), slot, payloadLength);
        return false;
    }
    std::unique_ptr<QByteArray> payload;
    if (payloadLength > 0) {
        payload = std::make_unique<QByteArray>(frame + 7, payloadLength);
    }
    post(event, slot, std::move(payload));
    return true;
}
