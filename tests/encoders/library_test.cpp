#include "encoders/interface_library.h"
#include "encoders/mp3_probe.h"
#include "support/wav_builder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

namespace {

using testsupport::PcmFormat;

std::vector<int16_t> Tone(uint32_t rate, uint16_t channels, uint32_t frames) {
    const testsupport::Bytes bytes = testsupport::MakePcm(PcmFormat{rate, channels, 16}, frames);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::optional<DecodedMp3> Decode(const std::vector<uint8_t>& mp3) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.mp3");
    if (!testsupport::WriteFile(path.toStdString(), mp3)) {
        return std::nullopt;
    }
    return DecodeMp3(path);
}

class EncoderLibraryTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.IsLoaded()) << GetParam() << ": " << library.Error().toStdString();
    }
    InterfaceLibrary library{GetParam()};
};

TEST_P(EncoderLibraryTest, EncodesWhatAnIndependentDecoderReadsBack) {
    if (!HaveDecoder()) {
        GTEST_SKIP() << "ffprobe/ffmpeg not installed";
    }
    struct Case {
        uint32_t rate;
        uint16_t channels;
        uint16_t bitrate;
    };
    const Case cases[] = {{44100, 2, 128}, {44100, 1, 64}, {44100, 2, 320}, {44100, 1, 32},
                          {22050, 2, 64},  {22050, 1, 32}, {22050, 2, 160}, {22050, 1, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rate << " Hz, " << c.channels << " ch, " << c.bitrate << " kbit/s");
        // Not a whole number of chunks, so the last chunk is a short one.
        const uint32_t frames = c.rate + 1000;
        const uint8_t mode = c.channels == 2 ? BE_MP3_MODE_STEREO : BE_MP3_MODE_MONO;
        const auto mp3 = EncodeAll(library, Mp3Config(c.rate, mode, c.bitrate),
                                   Tone(c.rate, c.channels, frames));
        ASSERT_FALSE(mp3.empty());
        const auto audio = Decode(mp3);
        ASSERT_TRUE(audio.has_value());
        EXPECT_EQ(audio->codec, "mp3");
        EXPECT_EQ(audio->channels, c.channels);
        EXPECT_EQ(audio->sampleRate, static_cast<int>(c.rate));
        EXPECT_EQ(audio->bitRate, c.bitrate * 1000LL);
        const long long audible = static_cast<long long>(AudibleFrames(*audio));
        const long long frameLength = c.rate >= 32000 ? 1152 : 576;
        // Nothing may be cut from the end; coding noise may smear the edges a little.
        EXPECT_GE(audible, frames - 64);
        EXPECT_LE(audible, frames + frameLength);
        EXPECT_GE(static_cast<long long>(audio->Frames()), frames);
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, EncoderLibraryTest, testing::Values("BladeEnc", "lame_enc"));

} // namespace
