#include "platform/acm_waveformat.h"
#include "support/wav_builder.h"

#include <gtest/gtest.h>

TEST(WaveFormatRecord, WritesTheFmtChunkLayoutLittleEndian) {
    WAVEFORMATEX mp3;
    mp3.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.nChannels = 2;
    mp3.nSamplesPerSec = 44100;
    mp3.nAvgBytesPerSec = 16000;
    mp3.nBlockAlign = 1;
    const std::vector<std::uint8_t> extra = {1, 0, 2, 0, 0, 0, 0xA1, 1, 1, 0, 0x71, 5};
    ASSERT_TRUE(mp3.SetExtra(extra));
    EXPECT_EQ(mp3.RecordSize(), 30u);
    EXPECT_EQ(mp3.Serialize(),
              testsupport::FormatRecord(WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, extra));
    EXPECT_EQ(WAVEFORMATEX::Parse(mp3.Serialize()), mp3);

    // PCM is the 16-byte record, without cbSize, whatever it is given.
    WAVEFORMATEX pcm = WAVEFORMATEX::Pcm(2, 44100, 16);
    EXPECT_EQ(pcm.Serialize(), testsupport::PcmFormatRecord({}));
    const auto parsed = WAVEFORMATEX::Parse(testsupport::PcmFormatRecord({}, true));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, pcm);
}

TEST(WaveFormatRecord, RefusesRecordsThatPromiseMoreThanTheyHold) {
    const std::vector<std::uint8_t> extra(10, 7);
    auto record = testsupport::FormatRecord(WAVE_FORMAT_ADPCM, 2, 44100, 44359, 2048, 4, extra);
    EXPECT_FALSE(WAVEFORMATEX::Parse(std::span(record).first(15)));
    EXPECT_FALSE(WAVEFORMATEX::Parse(std::span(record).first(27))); // cbSize says 10
    const auto whole = WAVEFORMATEX::Parse(record);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->Extra(), extra);

    // A non-PCM record of the old 16-byte kind has no extra bytes.
    const auto old = WAVEFORMATEX::Parse(std::span(record).first(16));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->cbSize(), 0);
    EXPECT_EQ(old->RecordSize(), 18u);

    record[16] = 0xFF;
    record[17] = 0xFF;
    record.resize(18 + 0xFFFF);
    EXPECT_FALSE(WAVEFORMATEX::Parse(record)); // beyond any codec's needs

    WAVEFORMATEX format;
    EXPECT_FALSE(format.SetExtra(std::vector<std::uint8_t>(WAVEFORMATEX_MAX_EXTRA + 1)));
    EXPECT_EQ(format.cbSize(), 0);
}
