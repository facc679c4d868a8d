#pragma once

#include <cstddef>

// What the socket layer tells its owner, always on the main thread.
class CSocketNotify {
public:
    virtual ~CSocketNotify() = default;
    virtual void sockaccepted(int slot) = 0;
    virtual void sockclosed(int slot) = 0;
    // `frame` is only valid during the call; copy what is kept.
    virtual void sockdispatch(const char* frame, int length, int slot) = 0;
};
