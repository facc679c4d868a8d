#pragma once

#include <QHash>
#include <QString>

// Lets a sentence through at most once an hour per key, so a machine that
// knocks again every few seconds does not fill the error log.
class OnceAnHour {
public:
    static constexpr qint64 PERIOD_MS = 3600 * 1000;

    // True when `key` was not let through within the last hour (`nowMs`).
    bool Due(const QString& key, qint64 nowMs);

private:
    QHash<QString, qint64> last;
};
