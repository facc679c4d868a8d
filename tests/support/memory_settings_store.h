#pragma once

#include "app/settings_store.h"

#include <QMap>
#include <QStringList>

namespace testsupport {

// A settings store in memory that remembers the order of reads and writes.
class MemorySettingsStore : public SettingsStore {
public:
    std::optional<QVariant> Read(const QString& group, const QString& name) const override {
        readLog.append(Key(group, name));
        const auto found = values.find(Key(group, name));
        if (found == values.end()) {
            return std::nullopt;
        }
        return *found;
    }

    bool Write(const QString& group, const QString& name, const QVariant& value) override {
        writeLog.append(Key(group, name));
        if (readOnly) {
            return false;
        }
        values.insert(Key(group, name), value);
        return true;
    }

    void Flush() override { ++flushCount; }

    static QString Key(const QString& group, const QString& name) {
        return group.isEmpty() ? name : group + '/' + name;
    }

    QMap<QString, QVariant> values;
    mutable QStringList readLog;
    QStringList writeLog;
    int flushCount = 0;
    bool readOnly = false;
};

} // namespace testsupport
