#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// Up to `count` bytes from the start of the file; empty when unreadable.
std::vector<std::uint8_t> ReadFileHead(const QString& path, std::uint64_t count);

// Replaces the first `oldHeadSize` bytes of the file by `newHead`, keeping
// everything after them. A head of the same size is written in place;
// otherwise the new file is built beside the old one and takes its place
// only when complete, so a failure (a full disk) leaves the old file whole.
bool ReplaceFileHead(const QString& path, std::uint64_t oldHeadSize, const std::string& newHead);
