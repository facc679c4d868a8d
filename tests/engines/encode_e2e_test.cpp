#include "library_engine_fixture.h"

#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"

namespace {

class EndToEndTest : public LibraryEngineTest {};

TEST_F(EndToEndTest, CatalogueStartsEncodesByIndexAndChecksThem) {
    EncoderCatalogue catalogue;
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int library) { return IsEncoderLibraryAvailable(library); };
    sources.externalEncoderFolder = [] { return std::optional<QString>(BinDirectory()); };
    const int drivers = catalogue.Build(sources);
    const int lame = catalogue.FindDriverExactly(LAME_DRIVER_ID, LAME_DRIVER_ID);
    const int xing = catalogue.FindDriverExactly(XING_DRIVER_ID, XING_DRIVER_ID);
    ASSERT_GE(lame, 0);
    ASSERT_GE(xing, 0);
    const QString source = WriteWav("in.wav", {}, 20000);

    for (const auto& [driver, format] :
         {std::pair{-1, 0}, std::pair{drivers, 0}, std::pair{lame, -1},
          std::pair{lame, catalogue.FormatCount(lame)}}) {
        EXPECT_EQ(catalogue.StartEncode(&events, 1, source, Path("x.mp3"), driver, format, nullptr),
                  0);
    }
    EXPECT_EQ(ErrorLog(), QString());

    for (const int driver : {lame, xing}) {
        const int format = catalogue.FindFormatExactly(driver, 2, 16000);
        double seconds = 0;
        events.done.clear();
        ASSERT_EQ(
            catalogue.StartEncode(&events, 1, source, Path("out.mp3"), driver, format, &seconds),
            1);
        EXPECT_NEAR(seconds, 20000.0 / 44100, 1e-9);
        EXPECT_EQ(catalogue.IsExternalEncoderRunning(), driver == xing);
        ASSERT_TRUE(events.WaitForDone());
        EXPECT_EQ(events.done[0].outcome, 1);
        EXPECT_FALSE(catalogue.IsEncodeCancelled());
        // Without a gapless tag decoders keep the encoder's delay and the last frame's padding.
        const auto decoded = DecodeMp3(Path("out.mp3"));
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(std::pair(decoded->sampleRate, decoded->channels), std::pair(44100, 2));
        EXPECT_GE(decoded->Frames(), 20000);
        EXPECT_LE(decoded->Frames(), 20000 + 2 * 1152);
    }
}

} // namespace
