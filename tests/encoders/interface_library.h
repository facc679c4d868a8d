#pragma once

#include "encoders/be_interface.h"

#include <QLibrary>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// One of our encoder libraries loaded straight from the build, as a caller of
// the five-function interface sees it.
class InterfaceLibrary {
public:
    explicit InterfaceLibrary(const QString& name);
    bool IsLoaded() const { return beVersion != nullptr; }
    QString Error() const { return library.errorString(); }

    BeInitStreamFunc beInitStream = nullptr;
    BeEncodeChunkFunc beEncodeChunk = nullptr;
    BeDeinitStreamFunc beDeinitStream = nullptr;
    BeCloseStreamFunc beCloseStream = nullptr;
    BeVersionFunc beVersion = nullptr;

private:
    QLibrary library;
};

BE_CONFIG Mp3Config(uint32_t sampleRate, uint8_t mode, uint16_t bitrate);

// Encodes the whole of `samples` in one stream, as the program's encode loop
// does: chunks of at most the library's size, each chunk's output appended.
// `chunkSize` picks each chunk's sample count (default: the full chunk).
// Empty on any error (reported through gtest).
std::vector<uint8_t> EncodeAll(const InterfaceLibrary& library, BE_CONFIG config,
                               const std::vector<int16_t>& samples,
                               const std::function<uint32_t(uint32_t)>& chunkSize = {});
