#include "encoders/lame_enc/lame_stream.h"
#include "encoders/library_exports.h"

namespace {
using Exports = LibraryExports<LameStream>;
} // namespace

extern "C" {

BE_ERR beInitStream(PBE_CONFIG config, uint32_t* samplesPerChunk, uint32_t* outputBufferBytes,
                    HBE_STREAM* stream) {
    return Exports::InitStream(config, samplesPerChunk, outputBufferBytes, stream);
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples,
                     uint8_t* output, uint32_t* outputBytes) {
    return Exports::EncodeChunk(stream, sampleCount, samples, output, outputBytes);
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
    return Exports::DeinitStream(stream, output, outputBytes);
}

BE_ERR beCloseStream(HBE_STREAM stream) {
    return Exports::CloseStream(stream);
}

void beVersion(PBE_VERSION version) {
    uint8_t major = 0;
    uint8_t minor = 0;
    LameStream::EngineVersion(major, minor);
    Exports::FillVersion(version, major, minor, LameStream::Homepage());
}

} // extern "C"
