// Arbitrary bytes as a WAV file through the wave reader (properties, open,
// the data chunk search) and a walk of every RIFF chunk in memory.
#include "engines/wave_reader.h"
#include "fuzz/fuzz_seeds.h"
#include "support/wav_builder.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdlib>
#include <unistd.h>

namespace {

QString ScratchPath() {
    static const QString path = QStringLiteral("%1/corvane-wave-fuzz-%2.wav")
                                    .arg(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")
                                    .arg(getpid());
    return path;
}

void Walk(RiffFile& riff, const RiffChunk* parent, int depth, int& steps) {
    RiffChunk chunk;
    while (depth < 8 && riff.Descend(chunk, parent) == RIFF_OK) {
        if (++steps > 100000) {
            std::abort(); // a walk that never ends
        }
        if (chunk.id == FOURCC_RIFF || chunk.id == FOURCC_LIST) {
            Walk(riff, &chunk, depth + 1, steps);
        }
        if (riff.Ascend(chunk) != RIFF_OK) {
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace testsupport;
    const PcmFormat mono8{8000, 1, 8};
    const PcmFormat stereo16{44100, 2, 16};
    // A 64-bit form whose sizes are in its `ds64` chunk.
    Bytes ds64;
    for (const std::uint32_t word : {4u + 36 + 24 + 48, 0u, 40u, 0u, 40u, 0u, 0u}) {
        PutU32(ds64, word);
    }
    Bytes rf64 = WavBuilder()
                     .Chunk("ds64", ds64)
                     .Fmt(mono8)
                     .Chunk("data", Bytes(40, 0x80), 0xFFFFFFFFu)
                     .Build("WAVE", 0xFFFFFFFFu);
    std::copy_n("RF64", 4, rf64.begin());
    WriteFuzzSeeds({
        rf64,
        MakePcmWav(mono8, 40),
        WavBuilder()
            .Fmt(stereo16, true)
            .Fact(10)
            .Chunk("odd ", Bytes{1, 2, 3})
            .Data(MakePcm(stereo16, 10))
            .Build(),
        MakeCompressedWav(0x55, 90, 1152, Bytes{1, 0, 2, 0, 0, 0, 0x40, 0x01, 1, 0, 0x71, 0x05}),
        WavBuilder().Data(Bytes{}).Fmt(mono8).Plst({{1, 10, 1}}).Data(Bytes(41, 0x80)).Build(),
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = ScratchPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size()) {
            return 0;
        }
    }
    WaveProperties properties;
    const unsigned result = GetWaveProperties(path, &properties);
    if (result == WAVE_OK && properties.format.BlockAlign() == 0) {
        std::abort(); // success promises a usable block alignment
    }
    WioFile wio;
    if (wioFileOpen(&wio, path, RIFF_READ) == WAVE_OK) {
        if (wio.dataOffset + wio.dataSize > static_cast<std::uint64_t>(size)) {
            std::abort(); // the data chunk lies inside the file
        }
        wioFileClose(&wio);
    }
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    unsigned offset = 0;
    FindDataChunk(buffer, &offset);
    buffer.seek(0);
    RiffFile riff;
    if (riff.Open(&buffer, RIFF_READ) == RIFF_OK) {
        int steps = 0;
        Walk(riff, nullptr, 0, steps);
    }
    return 0;
}
