#include "encoders/interface_library.h"
#include "support/outside_tools.h"
#include "support/wav_builder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <tuple>

namespace {

using testsupport::PcmFormat;

std::vector<int16_t> Tone(uint32_t rate, uint16_t channels, uint32_t frames) {
    const testsupport::Bytes bytes = testsupport::MakePcm(PcmFormat{rate, channels, 16}, frames);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Walks the Layer III frame headers; true when the last frame ends exactly at
// the end of the stream (a short last frame is damage to a decoder).
bool EndsOnFrameBoundary(const std::vector<uint8_t>& mp3) {
    static const int BITRATES[2][16] = {
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}};
    static const int RATES[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};
    std::size_t at = 0;
    while (at + 4 <= mp3.size()) {
        if (mp3[at] != 0xFF || (mp3[at + 1] & 0xE0) != 0xE0) {
            return false;
        }
        const int mpeg1 = (mp3[at + 1] >> 3) & 1;
        const int bitrate = BITRATES[mpeg1][mp3[at + 2] >> 4];
        const int rate = RATES[mpeg1][(mp3[at + 2] >> 2) & 3];
        if (bitrate == 0 || rate == 0) {
            return false;
        }
        at += static_cast<std::size_t>((mpeg1 ? 144 : 72) * bitrate * 1000 / rate +
                                       ((mp3[at + 2] >> 1) & 1));
    }
    return at == mp3.size();
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
        EXPECT_TRUE(EndsOnFrameBoundary(mp3));
        // The stream goes straight to its file, so its first frame must carry
        // audio, not a blank info tag waiting to be rewritten.
        const std::string start(mp3.begin(),
                                mp3.begin() + long(std::min<std::size_t>(mp3.size(), 1000)));
        EXPECT_EQ(start.find("Xing"), std::string::npos);
        EXPECT_EQ(start.find("Info"), std::string::npos);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.mp3");
        ASSERT_TRUE(testsupport::WriteFile(path.toStdString(), mp3));
        const auto audio = DecodeMp3(path);
        ASSERT_TRUE(audio.has_value());
        EXPECT_EQ(std::tuple(audio->codec, audio->channels, audio->sampleRate, audio->bitRate),
                  std::tuple(QString("mp3"), int(c.channels), int(c.rate), c.bitrate * 1000LL));
        const long long audible = AudibleFrames(*audio);
        const long long frameLength = c.rate >= 32000 ? 1152 : 576;
        // Nothing may be cut from the end; coding noise may smear the edges a little.
        EXPECT_GE(audible, frames - 64);
        EXPECT_LE(audible, frames + frameLength);
        EXPECT_GE(static_cast<long long>(audio->Frames()), frames);
    }
}

TEST_P(EncoderLibraryTest, OutputDoesNotDependOnHowTheSamplesAreSplitOrOnOtherStreams) {
    // Stereo frames split between calls, single samples, and nearly full chunks
    // must all give the very bytes that whole chunks give.
    for (const uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
        SCOPED_TRACE(channels);
        const auto samples = Tone(44100, channels, 30000);
        const uint8_t mode = channels == 2 ? BE_MP3_MODE_JSTEREO : BE_MP3_MODE_MONO;
        const auto whole = EncodeAll(library, Mp3Config(44100, mode, 128), samples);
        ASSERT_FALSE(whole.empty());
        std::mt19937 random(7);
        const auto ragged =
            EncodeAll(library, Mp3Config(44100, mode, 128), samples, [&random](uint32_t chunk) {
                const uint32_t pick[] = {1, 3, chunk - 1, chunk, 577};
                return pick[random() % 5];
            });
        EXPECT_EQ(ragged, whole);
    }
    // Nor on streams running on other threads at the same time.
    const auto samples = Tone(44100, 2, 20000);
    const BE_CONFIG config = Mp3Config(44100, BE_MP3_MODE_STEREO, 192);
    const auto reference = EncodeAll(library, config, samples);
    std::vector<std::vector<uint8_t>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&] { result = EncodeAll(library, config, samples); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, reference);
    }
}

TEST_P(EncoderLibraryTest, RefusesConfigurationsItCannotEncode) {
    uint32_t chunk = 0;
    uint32_t bytes = 0;
    HBE_STREAM stream = 0;
    auto init = [&](BE_CONFIG config) {
        return library.beInitStream(&config, &chunk, &bytes, &stream);
    };
    EXPECT_EQ(library.beInitStream(nullptr, &chunk, &bytes, &stream), BE_ERR_INVALID_FORMAT);
    BE_CONFIG notMp3 = Mp3Config(44100, BE_MP3_MODE_STEREO, 128);
    notMp3.dwConfig = 1;
    EXPECT_EQ(init(notMp3), BE_ERR_INVALID_FORMAT);
    EXPECT_EQ(init(Mp3Config(44100, 4, 128)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(init(Mp3Config(44000, BE_MP3_MODE_STEREO, 128)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(init(Mp3Config(0, BE_MP3_MODE_STEREO, 128)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(init(Mp3Config(44100, BE_MP3_MODE_STEREO, 100)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(init(Mp3Config(44100, BE_MP3_MODE_STEREO, 0)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    // 320 kbit/s exists only at the MPEG-1 rates, 8 kbit/s only below them.
    EXPECT_EQ(init(Mp3Config(22050, BE_MP3_MODE_STEREO, 320)), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(init(Mp3Config(44100, BE_MP3_MODE_MONO, 8)), BE_ERR_INVALID_FORMAT_PARAMETERS);

    // Every MPEG-1 and MPEG-2 rate opens, in every mode.
    for (const uint32_t rate : {32000u, 44100u, 48000u, 16000u, 22050u, 24000u}) {
        for (const uint8_t mode :
             {BE_MP3_MODE_STEREO, BE_MP3_MODE_JSTEREO, BE_MP3_MODE_DUALCHANNEL, BE_MP3_MODE_MONO}) {
            SCOPED_TRACE(testing::Message() << rate << " mode " << int{mode});
            ASSERT_EQ(init(Mp3Config(rate, mode, 64)), BE_ERR_SUCCESSFUL);
            const uint32_t perChannel = rate >= 32000 ? 1152 : 576;
            EXPECT_EQ(chunk, perChannel * (mode == BE_MP3_MODE_MONO ? 1 : 2));
            EXPECT_GT(bytes, 0u);
            EXPECT_EQ(library.beCloseStream(stream), BE_ERR_SUCCESSFUL);
        }
    }
}

TEST_P(EncoderLibraryTest, ManyStreamsAtOnceAndBadHandlesAreSafe) {
    BE_CONFIG config = Mp3Config(44100, BE_MP3_MODE_STEREO, 128);
    uint32_t chunk = 0;
    uint32_t bytes = 0;
    std::vector<HBE_STREAM> streams(300);
    for (HBE_STREAM& stream : streams) {
        ASSERT_EQ(library.beInitStream(&config, &chunk, &bytes, &stream), BE_ERR_SUCCESSFUL);
    }
    std::sort(streams.begin(), streams.end());
    EXPECT_EQ(std::adjacent_find(streams.begin(), streams.end()), streams.end());

    const auto samples = Tone(44100, 2, chunk / 2);
    std::vector<uint8_t> output(bytes);
    uint32_t produced = 0;
    for (const HBE_STREAM stream : streams) {
        ASSERT_EQ(library.beEncodeChunk(stream, chunk, samples.data(), output.data(), &produced),
                  BE_ERR_SUCCESSFUL);
    }
    // Too many samples for one chunk could overflow the caller's buffer.
    EXPECT_EQ(
        library.beEncodeChunk(streams[0], chunk + 2, samples.data(), output.data(), &produced),
        BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(library.beEncodeChunk(streams[0], chunk, nullptr, output.data(), &produced),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(library.beDeinitStream(streams[1], output.data(), &produced), BE_ERR_SUCCESSFUL);
    EXPECT_GT(produced, 0u);
    // A finished stream takes no more samples and cannot be finished twice.
    EXPECT_EQ(library.beEncodeChunk(streams[1], chunk, samples.data(), output.data(), &produced),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(library.beDeinitStream(streams[1], output.data(), &produced), BE_ERR_INVALID_HANDLE);

    for (const HBE_STREAM stream : streams) {
        EXPECT_EQ(library.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    }
    for (const HBE_STREAM bad :
         {streams[0], streams[299], HBE_STREAM{0}, HBE_STREAM{1}, ~HBE_STREAM{0}}) {
        EXPECT_EQ(library.beEncodeChunk(bad, 2, samples.data(), output.data(), &produced),
                  BE_ERR_INVALID_HANDLE);
        EXPECT_EQ(library.beDeinitStream(bad, output.data(), &produced), BE_ERR_INVALID_HANDLE);
        EXPECT_EQ(library.beCloseStream(bad), BE_ERR_INVALID_HANDLE);
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, EncoderLibraryTest, testing::Values("BladeEnc", "lame_enc"));

} // namespace
