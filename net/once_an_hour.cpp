#include "net/once_an_hour.h"

bool OnceAnHour::Due(const QString& key, qint64 nowMs) {
    const auto it = last.constFind(key);
    if (it != last.constEnd() && nowMs - it.value() < PERIOD_MS) {
        return false;
    }
    // Forgotten keys keep the table small when many addresses knock.
    if (last.size() > 4096) {
        last.clear();
    }
    last.insert(key, nowMs);
    return true;
}
