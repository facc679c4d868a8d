#include "queue/tick_clock.h"

#include <QElapsedTimer>

std::uint32_t SystemTickClock::Now() const {
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    // Never 0, which marks "not paused".
    return static_cast<std::uint32_t>(started.elapsed()) + 1;
}
