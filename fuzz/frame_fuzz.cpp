// Received bytes, cut into frames and dispatched as the socket layer does,
// then read by the record readers the handlers use. The first byte of the
// input picks how the rest is split into reads.
#include "net/frame_cutter.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "queue/queue_entry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void ReadPayload(int event, const QByteArray& payload) {
    switch (event) {
    case MSG_NET_HEARTBEAT: {
        QString name;
        ReadMachineName(payload, name);
        break;
    }
    case MSG_NET_CANENCODE:
    case MSG_NET_ENCODE: {
        EncodeJob job;
        ReadEncodeJob(payload, job);
        break;
    }
    case MSG_NET_CANENCODE_REPLY: {
        std::uint32_t code = 0;
        ReadReplyCode(payload, code);
        break;
    }
    case MSG_NET_PROGRESS: {
        QueueEntry entry;
        ReadProgressRecord(payload, entry);
        break;
    }
    case MSG_NET_ERROR: {
        QString text;
        ReadErrorText(payload, text);
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int chunk = 1 + data[0] % 64 * 16;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const int length = int(size - 1);
    FrameCutter cutter;
    for (int offset = 0; offset < length; offset += chunk) {
        std::vector<QByteArray> frames;
        const int n = length - offset < chunk ? length - offset : chunk;
        const bool open = cutter.Feed(bytes + offset, n, frames);
        for (const QByteArray& frame : frames) {
            DispatchFrame(frame.constData(), int(frame.size()), 0,
                          [](int event, int, std::unique_ptr<QByteArray> payload) {
                              const int expected = payload ? int(payload->size()) : 0;
                              if (payload) {
                                  ReadPayload(event, *payload);
                              }
                              if (expected > LARGEST_FRAME) {
                                  std::abort();
                              }
                          });
        }
        if (!open) {
            break; // the connection would be closed here
        }
        if (cutter.Held() > MAX_UNFRAMED_BYTES) {
            std::abort();
        }
    }
    return 0;
}
