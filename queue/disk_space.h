#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QueueModel;

// Bytes available to this user on the directory's volume; 0 when unknown.
std::uint64_t GetFreeDiskSpace(const QString& directory);

using FreeSpaceQuery = std::function<std::uint64_t(const QString& directory)>;

// Bytes the Not Done rows are expected to need once encoded: a tenth of their
// size, or what the chosen byte rate implies.
std::uint64_t EstimateNeededBytes(const QueueModel& model, std::uint32_t bytesPerSec);

// False only when the free space is known and below the estimate.
bool CheckDiskSpace(const QueueModel& model, std::uint32_t bytesPerSec,
                    const QString& outputDirectory, const FreeSpaceQuery& freeSpace);
