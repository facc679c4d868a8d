#pragma once

#include "encoders/be_interface.h"

#include <map>
#include <memory>
#include <mutex>

// The open streams of one library, by handle. Handles are never reused, so a
// closed or made-up handle is always told apart from a live one. Streams are
// shared so that a close on one thread cannot pull a stream from under a call
// still running on another.
template <typename Stream> class StreamTable {
public:
    // 0 when no handle can be issued.
    HBE_STREAM Add(std::shared_ptr<Stream> stream) {
        std::lock_guard lock(mutex);
        if (nextHandle == 0) {
            return 0;
        }
        const HBE_STREAM handle = nextHandle++;
        streams.emplace(handle, std::move(stream));
        return handle;
    }

    std::shared_ptr<Stream> Find(HBE_STREAM handle) const {
        std::lock_guard lock(mutex);
        const auto it = streams.find(handle);
        return it == streams.end() ? nullptr : it->second;
    }

    bool Remove(HBE_STREAM handle) {
        std::shared_ptr<Stream> removed;
        {
            std::lock_guard lock(mutex);
            const auto it = streams.find(handle);
            if (it == streams.end()) {
                return false;
            }
            removed = std::move(it->second);
            streams.erase(it);
        }
        // The stream itself goes when its last user lets go, outside the lock.
        return true;
    }

private:
    mutable std::mutex mutex;
    std::map<HBE_STREAM, std::shared_ptr<Stream>> streams;
    // Starts away from small numbers that a caller might pass by mistake.
    HBE_STREAM nextHandle = 0x1000;
};
