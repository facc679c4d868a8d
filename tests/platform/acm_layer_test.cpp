#include "acm_convert_loop.h"
#include "acm_fake_drivers.h"
#include "support/wav_builder.h"

#include <gtest/gtest.h>

namespace {

using fakeacm::Behaviour;
using fakeacm::Driver;
using fakeacm::FakeFormat;

const WAVEFORMATEX CD_SOURCE = WAVEFORMATEX::Pcm(2, 44100, 16);

class AcmLayer : public testing::Test {
protected:
    IsolatedAcmDrivers isolation;
};

std::vector<std::uint8_t> Samples(std::uint32_t frames) {
    return testsupport::MakePcm({}, frames, testsupport::Signal::Noise);
}

} // namespace

TEST_F(AcmLayer, DriversAreListedInInstallOrderWithTheirDetailsCutToSize) {
    auto codec = std::make_shared<Driver>(Behaviour::PassThrough);
    codec->details.szLongName = std::string(200, 'L');
    codec->details.szShortName = std::string(40, 'S');
    auto converter = std::make_shared<Driver>(Behaviour::PassThrough);
    converter->details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
    const HACMDRIVERID first = fakeacm::Install(codec);
    const HACMDRIVERID second = fakeacm::Install(converter);

    std::vector<std::pair<HACMDRIVERID, std::uint32_t>> seen;
    ASSERT_EQ(acmDriverEnum(
                  [&seen](HACMDRIVERID id, std::uintptr_t instance, std::uint32_t support) {
                      EXPECT_EQ(instance, 77u);
                      seen.emplace_back(id, support);
                      return true;
                  },
                  77, 0),
              MMSYSERR_NOERROR);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(first, ACMDRIVERDETAILS_SUPPORTF_CODEC));
    EXPECT_EQ(seen[1], std::make_pair(second, ACMDRIVERDETAILS_SUPPORTF_CONVERTER));

    ACMDRIVERDETAILS details;
    ASSERT_EQ(acmDriverDetails(first, &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(details.szLongName.size(), ACMDRIVERDETAILS_LONGNAME_CHARS);
    EXPECT_EQ(details.szShortName.size(), ACMDRIVERDETAILS_SHORTNAME_CHARS);
    EXPECT_EQ(details.wMid, 901);

    // A removed driver's id is dead and never handed out again.
    ASSERT_EQ(acmDriverRemove(first, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverDetails(first, &details, 0), MMSYSERR_INVALHANDLE);
    HACMDRIVER open{};
    EXPECT_EQ(acmDriverOpen(&open, first, 0), MMSYSERR_INVALHANDLE);
    const HACMDRIVERID third = fakeacm::Install(codec);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
}

TEST_F(AcmLayer, FormatEnumerationOffersWhatTheDriverMakesFromTheSource) {
    WAVEFORMATEX large = FakeFormat(2, 40);
    large.nAvgBytesPerSec = 1;
    WAVEFORMATEX otherRate = FakeFormat(1);
    otherRate.nSamplesPerSec = 22050;
    auto fake = std::make_shared<Driver>(
        Behaviour::PassThrough, std::vector<WAVEFORMATEX>{FakeFormat(1), large, otherRate});
    const HACMDRIVERID id = fakeacm::Install(fake);
    HACMDRIVER driver{};
    ASSERT_EQ(acmDriverOpen(&driver, id, 0), MMSYSERR_NOERROR);
    std::uint32_t largest = 0;
    ASSERT_EQ(acmMetrics(driver, ACM_METRIC_MAX_SIZE_FORMAT, &largest), MMSYSERR_NOERROR);
    EXPECT_EQ(largest, 58u);
    EXPECT_EQ(acmMetrics(id, ACM_METRIC_MAX_SIZE_FORMAT, &largest), MMSYSERR_NOERROR);

    auto enumerate = [&](std::uint32_t bufferSize, std::uint32_t flags, std::uint32_t limit,
                         std::uint16_t tag = fakeacm::FAKE_TAG) {
        std::vector<WAVEFORMATEX> found;
        ACMFORMATDETAILS details;
        details.pwfx = CD_SOURCE;
        details.cbwfx = bufferSize;
        details.dwFormatTag = tag;
        EXPECT_EQ(
            acmFormatEnum(
                driver, &details,
                [&](HACMDRIVERID from, ACMFORMATDETAILS& d, std::uintptr_t slot, std::uint32_t) {
                    EXPECT_EQ(from, id);
                    EXPECT_EQ(slot, 5u);
                    EXPECT_EQ(d.dwFormatIndex, found.size());
                    found.push_back(d.pwfx);
                    return found.size() < limit;
                },
                5, flags),
            MMSYSERR_NOERROR);
        return found;
    };
    const auto all = enumerate(largest, ACM_FORMATENUMF_CONVERT, 99);
    ASSERT_EQ(all.size(), 2u); // the 22050 Hz one is not made from a 44100 Hz source
    EXPECT_EQ(all[0], FakeFormat(1));
    EXPECT_EQ(all[1], large);
    ASSERT_FALSE(fake->log->enumerationSources.empty());
    EXPECT_EQ(fake->log->enumerationSources.back(), CD_SOURCE);

    EXPECT_EQ(enumerate(20, ACM_FORMATENUMF_CONVERT, 99).size(), 1u); // too big for the buffer
    EXPECT_EQ(enumerate(largest, ACM_FORMATENUMF_CONVERT, 1).size(), 1u);
    EXPECT_EQ(enumerate(largest, ACM_FORMATENUMF_CONVERT | ACM_FORMATENUMF_NCHANNELS, 99).size(),
              1u);
    EXPECT_EQ(enumerate(largest, 0, 99).size(), 3u);
    EXPECT_EQ(enumerate(largest, ACM_FORMATENUMF_WFORMATTAG, 99).size(), 3u);
    EXPECT_EQ(enumerate(largest, ACM_FORMATENUMF_WFORMATTAG, 99, WAVE_FORMAT_PCM).size(), 0u);
    acmDriverClose(driver, 0);
}

TEST_F(AcmLayer, StreamOpenTellsImpossibleConversionsApart) {
    const HACMDRIVERID refusing = fakeacm::Install(std::make_shared<Driver>(Behaviour::Refuses));
    HACMDRIVER driver{};
    ASSERT_EQ(acmDriverOpen(&driver, refusing, 0), MMSYSERR_NOERROR);
    HACMSTREAM stream{};
    EXPECT_EQ(acmStreamOpen(&stream, driver, CD_SOURCE, FakeFormat(), 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(stream, HACMSTREAM{});
    // Without a driver, none of the installed ones can do it either.
    EXPECT_EQ(acmStreamOpen(&stream, HACMDRIVER{}, CD_SOURCE, FakeFormat(), 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(&stream, driver, CD_SOURCE, FakeFormat(), ACM_STREAMOPENF_ASYNC),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(&stream, driver, CD_SOURCE, FakeFormat(), 0x100), MMSYSERR_INVALFLAG);
    acmDriverClose(driver, 0);

    // Then the layer finds the one that can, and that driver stays in use.
    const HACMDRIVERID willing = fakeacm::Install(std::make_shared<Driver>(Behaviour::PassThrough));
    EXPECT_EQ(acmStreamOpen(nullptr, HACMDRIVER{}, CD_SOURCE, FakeFormat(), ACM_STREAMOPENF_QUERY),
              MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamOpen(&stream, HACMDRIVER{}, CD_SOURCE, FakeFormat(), 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverRemove(willing, 0), ACMERR_BUSY);
    EXPECT_EQ(acmDriverRemove(refusing, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverRemove(willing, 0), MMSYSERR_NOERROR);
}

// Headers must be prepared and restored, conversions stay inside them; an open
// stream keeps its driver, and handles die on close.
TEST_F(AcmLayer, HeadersConversionsAndHandleLifetimes) {
    auto fake = std::make_shared<Driver>(Behaviour::PassThrough);
    const HACMDRIVERID id = fakeacm::Install(fake);
    HACMDRIVER driver{};
    HACMSTREAM stream{};
    ASSERT_EQ(acmDriverOpen(&driver, id, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamOpen(&stream, driver, CD_SOURCE, FakeFormat(), ACM_STREAMOPENF_NONREALTIME),
              MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverClose(driver, 0), ACMERR_BUSY);
    EXPECT_EQ(acmDriverRemove(id, 0), ACMERR_BUSY);
    std::uint32_t size = 0;
    EXPECT_EQ(acmStreamSize(stream, 0, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamSize(stream, 64, &size, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);

    std::vector<std::uint8_t> source(64, 1), destination(64);
    ACMSTREAMHEADER header;
    header.pbSrc = source.data();
    header.cbSrcLength = 64;
    header.pbDst = destination.data();
    header.cbDstLength = 64;
    EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_INVALPARAM); // no cbStruct
    header.cbStruct = ACMSTREAMHEADER_SIZE;
    EXPECT_EQ(acmStreamConvert(stream, &header, 0), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);

    header.cbSrcLength = 65;
    EXPECT_EQ(acmStreamConvert(stream, &header, 0), MMSYSERR_INVALPARAM);
    header.cbSrcLength = 10;
    ASSERT_EQ(acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_EQ(fake->log->sourceLengths.back(), 8u); // whole 4-byte blocks only
    EXPECT_EQ(header.cbSrcLengthUsed, 8u);
    EXPECT_EQ(header.cbDstLengthUsed, 8u);
    ASSERT_EQ(acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_END), MMSYSERR_NOERROR);
    EXPECT_EQ(fake->log->sourceLengths.back(), 10u);
    EXPECT_EQ(fake->log->flags.back(), ACM_STREAMCONVERTF_END);
    EXPECT_EQ(acmStreamConvert(stream, &header, 0x8000), MMSYSERR_INVALFLAG);

    // Unprepare wants the lengths it was prepared with.
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_INVALPARAM);
    header.cbSrcLength = 64;
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), ACMERR_UNPREPARED);

    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamSize(stream, 4, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmDriverRemove(id, 0), ACMERR_BUSY); // the instance is still open
    EXPECT_EQ(acmDriverClose(driver, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverClose(driver, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmMetrics(driver, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmDriverRemove(id, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmDriverOpen(&driver, id, 7), MMSYSERR_INVALFLAG);
}

TEST_F(AcmLayer, CodecBehavioursSurviveTheEngineLoop) {
    const auto samples = Samples(44100 * 2 + 123);
    const std::pair<Behaviour, MMRESULT> cases[] = {
        {Behaviour::KeepsInputBack, MMSYSERR_NOERROR},
        {Behaviour::SilentUntilEnd, MMSYSERR_NOERROR},
        {Behaviour::Refuses, ACMERR_NOTPOSSIBLE},
        {Behaviour::OverClaims, MMSYSERR_ERROR}, // more used than it was given
    };
    for (const auto& [behaviour, result] : cases) {
        const HACMDRIVERID id = fakeacm::Install(std::make_shared<Driver>(behaviour));
        const LoopResult run = ConvertLikeEngine(id, CD_SOURCE, FakeFormat(), samples);
        ASSERT_EQ(run.result, result) << int(behaviour);
        if (result == MMSYSERR_NOERROR) {
            EXPECT_TRUE(run.reachedFinish);
            EXPECT_EQ(run.output, samples);
            EXPECT_EQ(run.keptBack > 0, behaviour == Behaviour::KeepsInputBack);
        }
    }
}
