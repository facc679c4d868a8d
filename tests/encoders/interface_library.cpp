#include "encoders/interface_library.h"

#include "support/outside_tools.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>

InterfaceLibrary::InterfaceLibrary(const QString& name)
    : library(QDir(BinDirectory()).filePath(name)) {
    if (!library.load()) {
        return;
    }
    beInitStream = reinterpret_cast<BeInitStreamFunc>(library.resolve("beInitStream"));
    beEncodeChunk = reinterpret_cast<BeEncodeChunkFunc>(library.resolve("beEncodeChunk"));
    beDeinitStream = reinterpret_cast<BeDeinitStreamFunc>(library.resolve("beDeinitStream"));
    beCloseStream = reinterpret_cast<BeCloseStreamFunc>(library.resolve("beCloseStream"));
    if (beInitStream && beEncodeChunk && beDeinitStream && beCloseStream) {
        beVersion = reinterpret_cast<BeVersionFunc>(library.resolve("beVersion"));
    }
}

BE_CONFIG Mp3Config(uint32_t sampleRate, uint8_t mode, uint16_t bitrate) {
    BE_CONFIG config{};
    config.dwConfig = BE_CONFIG_MP3;
    config.format.mp3.dwSampleRate = sampleRate;
    config.format.mp3.byMode = mode;
    config.format.mp3.wBitrate = bitrate;
    return config;
}

std::vector<uint8_t> EncodeAll(const InterfaceLibrary& library, BE_CONFIG config,
                               const std::vector<int16_t>& samples,
                               const std::function<uint32_t(uint32_t)>& chunkSize) {
    uint32_t chunk = 0;
    uint32_t bufferBytes = 0;
    HBE_STREAM stream = 0;
    const BE_ERR opened = library.beInitStream(&config, &chunk, &bufferBytes, &stream);
    EXPECT_EQ(opened, BE_ERR_SUCCESSFUL);
    if (opened != BE_ERR_SUCCESSFUL) {
        return {};
    }
    std::vector<uint8_t> output(bufferBytes);
    std::vector<uint8_t> mp3;
    uint32_t produced = 0;
    // Each call's output is appended; a failure or an overrun of the buffer stops the run.
    auto take = [&](BE_ERR result) {
        EXPECT_EQ(result, BE_ERR_SUCCESSFUL);
        EXPECT_LE(produced, bufferBytes);
        mp3.insert(mp3.end(), output.begin(), output.begin() + std::min(produced, bufferBytes));
        return result == BE_ERR_SUCCESSFUL && produced <= bufferBytes;
    };
    bool ok = true;
    for (std::size_t done = 0; ok && done < samples.size();) {
        uint32_t count = chunkSize ? chunkSize(chunk) : chunk;
        count = static_cast<uint32_t>(std::min<std::size_t>(count, samples.size() - done));
        ok = take(
            library.beEncodeChunk(stream, count, samples.data() + done, output.data(), &produced));
        done += count;
    }
    ok = ok && take(library.beDeinitStream(stream, output.data(), &produced));
    EXPECT_EQ(library.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    return ok ? mp3 : std::vector<uint8_t>{};
}
