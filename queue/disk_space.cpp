#include "queue/disk_space.h"

#include "queue/queue_model.h"

#include <QStorageInfo>

std::uint64_t GetFreeDiskSpace(const QString& directory) {
    const QStorageInfo storage(directory);
    if (!storage.isValid() || !storage.isReady()) {
        return 0;
    }
    const qint64 available = storage.bytesAvailable();
    return available > 0 ? static_cast<std::uint64_t>(available) : 0;
}

std::uint64_t EstimateNeededBytes(const QueueModel& model, std::uint32_t bytesPerSec) {
    double factor = 10.0;
    if (bytesPerSec != 0) {
        const double k = bytesPerSec * 0.0000625;
        if (k != 0.0) {
            factor = 10.0 / k;
        }
        if (factor == 0.0) {
            factor = 10.0;
        }
    }
    std::uint64_t sum = 0;
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (entry->status == NotDone) {
            sum += entry->size;
        }
    }
    return static_cast<std::uint64_t>(static_cast<double>(sum) / factor);
}

bool CheckDiskSpace(const QueueModel& model, std::uint32_t bytesPerSec,
                    const QString& outputDirectory, const FreeSpaceQuery& freeSpace) {
    const std::uint64_t needed = EstimateNeededBytes(model, bytesPerSec);
    if (needed == 0) {
        return true;
    }
    if (outputDirectory.startsWith(QStringLiteral("\\\\")) ||
        outputDirectory.startsWith(QStringLiteral("//"))) {
        return true;
    }
    QString directory = outputDirectory;
    if (!directory.endsWith(u'/')) {
        directory += u'/';
    }
    const std::uint64_t free = freeSpace ? freeSpace(directory) : 0;
    return free == 0 || free >= needed;
}
