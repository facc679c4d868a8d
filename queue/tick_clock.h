#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, wrapping like a 32-bit tick count.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t Now() const = 0;
};

// The monotonic clock of this process.
class SystemTickClock : public TickClock {
public:
    std::uint32_t Now() const override;
};
