#include "../platform/acm_fake_drivers.h"
#include "app/locale_format.h"
#include "engines/catalogue.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using fakeacm::Codec;
using fakeacm::Mp3Like;

CatalogueSources Sources(bool blade, bool lame, std::optional<QString> folder = std::nullopt) {
    CatalogueSources sources;
    sources.isLibraryAvailable = [blade, lame](int library) {
        return library == 0 ? blade : library == 1 && lame;
    };
    sources.externalEncoderFolder = [folder] { return folder; };
    return sources;
}

class Catalogue : public testing::Test {
protected:
    void SetUp() override {
        SetLocaleSettings(LocaleSettings{});
        ASSERT_TRUE(folder.isValid());
    }

    QString MakeExternalEncoder() {
        QFile program(folder.filePath(ExternalEncoderFileName()));
        EXPECT_TRUE(program.open(QIODevice::WriteOnly));
        return folder.path();
    }

    IsolatedAcmDrivers isolation;
    QTemporaryDir folder;
    EncoderCatalogue catalogue;
};

} // namespace

TEST_F(Catalogue, ListsUsableCodecsThenTheExternalEncoderThenTheLibraries) {
    const std::vector<WAVEFORMATEX> mp3 = {Mp3Like(1, 16000), Mp3Like(2, 16000), Mp3Like(2, 24000)};
    auto codec = Codec(901, 1, mp3);
    const HACMDRIVERID codecId = fakeacm::Install(codec);
    auto converter = Codec(902, 1, mp3);
    converter->details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
    fakeacm::Install(converter);
    WAVEFORMATEX elsewhere = Mp3Like(2, 16000);
    elsewhere.nSamplesPerSec = 22050; // nothing it can make from CD audio
    fakeacm::Install(Codec(903, 1, {elsewhere}));

    ASSERT_EQ(catalogue.Build(Sources(true, true, MakeExternalEncoder())), 4);
    QStringList names;
    catalogue.DriverNames(names);
    EXPECT_EQ(names, QStringList({"Codec 901/1", "XingMP3 Encoder", "Blade's MP3 Encoder",
                                  "LAME Encoder"}));
    // The LAME library and the external encoder add V0 to V9 after the bitrates.
    EXPECT_EQ((std::vector{catalogue.FormatCount(0), catalogue.FormatCount(1),
                           catalogue.FormatCount(2), catalogue.FormatCount(3)}),
              (std::vector{3, 20, 14, 24}));
    EXPECT_EQ(catalogue.ExternalEncoderPath(),
              QDir(folder.path()).absoluteFilePath(ExternalEncoderFileName()));

    const CatalogueDriver* acm = catalogue.Driver(0);
    ASSERT_NE(acm, nullptr);
    EXPECT_EQ(std::tuple(acm->id, acm->manufacturerId, acm->longName),
              std::tuple(codecId, 901u, QString("Long Codec 901/1")));
    EXPECT_EQ(catalogue.Format(0, 2)->format, mp3[2]); // extra bytes and all

    const CatalogueDriver* lame = catalogue.Driver(3);
    EXPECT_EQ(std::pair(lame->id, lame->longName),
              std::pair(LAME_DRIVER_ID, QString("LAME Encoder")));
    const WAVEFORMATEX& last = catalogue.Format(3, 13)->format;
    EXPECT_EQ(std::tuple(last.RecordSize(), last.wFormatTag, last.nAvgBytesPerSec),
              std::tuple(18u, 0, 4000u));
    EXPECT_EQ(catalogue.Format(1, 9)->format.nAvgBytesPerSec, 8000u);
    const CatalogueFormat& v2 = *catalogue.Format(3, 16);
    EXPECT_EQ(v2.vbrQuality, 2);
    EXPECT_EQ(v2.description, "VBR V2, ~190 kBit/s, 44,100, Stereo");
    EXPECT_EQ(catalogue.FindFormatExactly(3, 2, 23750), 16);
    EXPECT_EQ(catalogue.FindFormatExactly(3, 2, 16000), 5); // the stored choices as before
    EXPECT_EQ(catalogue.Format(1, 19)->vbrQuality, 9);
    EXPECT_TRUE(catalogue.HasStereoModes(3));
    EXPECT_FALSE(catalogue.HasStereoModes(1) || catalogue.HasStereoModes(2));

    QStringList formats;
    int position = -1;
    ASSERT_EQ(catalogue.FormatNames(0, formats, position), 3);
    EXPECT_EQ(formats[0], "128 kBit/s, 44,100, Mono  16 KB/s");

    // Building again starts from scratch, in the locale of the day.
    LocaleSettings german;
    german.thousandSeparator = ".";
    SetLocaleSettings(german);
    EXPECT_EQ(catalogue.Build(Sources(false, true)), 2);
    catalogue.FormatNames(1, formats, position);
    EXPECT_EQ(formats[0], "320 kBit/s, 44.100, Stereo  40 KB/s");
    EXPECT_EQ(formats[13], "32 kBit/s, 44.100, Stereo  4 KB/s");
}

TEST_F(Catalogue, SearchesByValueExactlyAndLoosely) {
    fakeacm::Install(Codec(901, 1,
                           {Mp3Like(1, 8000), Mp3Like(2, 16000), Mp3Like(2, 24000),
                            Mp3Like(1, 12000), Mp3Like(2, 24000)}));
    fakeacm::Install(Codec(901, 2, {Mp3Like(2, 16000)}));
    fakeacm::Install(Codec(901, 3, {Mp3Like(2, 16000)}));
    ASSERT_EQ(catalogue.Build(Sources(false, true)), 4);

    EXPECT_EQ(catalogue.FindDriverExactly(901, 2), 1);
    EXPECT_EQ(catalogue.FindDriverExactly(9997, 9997), 3);
    // A driver removed since the ids were stored: the exact search fails, the
    // loose one takes the last sibling of the same manufacturer.
    EXPECT_EQ(catalogue.FindDriverExactly(901, 9), -1);
    EXPECT_EQ(catalogue.FindDriverLoosely(901, 9), 2);
    EXPECT_EQ(catalogue.FindDriverLoosely(901, 1), 0);
    EXPECT_EQ(catalogue.FindDriverLoosely(555, 1), -1);

    EXPECT_EQ(catalogue.FindFormatExactly(0, 2, 24000), 2);
    EXPECT_EQ(catalogue.FindFormatExactly(0, 1, 16000), -1);
    EXPECT_EQ(catalogue.FindFormatExactly(7, 2, 16000), -1);
    EXPECT_EQ(catalogue.FindFormatLoosely(0, 1, 8000), 0);
    EXPECT_EQ(catalogue.FindFormatLoosely(0, 1, 16000), 3); // highest mono
    EXPECT_EQ(catalogue.FindFormatLoosely(0, 2, 99), 2);    // first of the highest
    EXPECT_EQ(catalogue.FindFormatLoosely(1, 1, 16000), -1);
    EXPECT_EQ(catalogue.FindFormatLoosely(-1, 2, 16000), -1);

    std::uint32_t manufacturer = 0, product = 0, channels = 0, rate = 0;
    catalogue.DriverIds(2, manufacturer, product);
    catalogue.FormatFacts(0, 3, channels, rate);
    EXPECT_EQ(std::tuple(manufacturer, product, channels, rate), std::tuple(901u, 3u, 1u, 12000u));
}

TEST_F(Catalogue, SelectDriverPrefersTheProfessionalCodecThenBladeLameAndXing) {
    fakeacm::Install(Codec(901, 1, {Mp3Like(2, 16000)}));
    fakeacm::Install(Codec(172, 13, {Mp3Like(2, 16000)}));
    const QString external = MakeExternalEncoder();

    QString name;
    std::uint32_t manufacturer = 0, product = 0;
    catalogue.Build(Sources(true, true, external));
    EXPECT_EQ(catalogue.SelectDriver(name, manufacturer, product), 1);
    EXPECT_EQ(std::tuple(name, manufacturer, product),
              std::tuple(QString("Long Codec 172/13"), 172u, 13u));

    auto select = [&](const CatalogueSources& sources) {
        catalogue.Build(sources);
        manufacturer = product = 0;
        name.clear();
        return catalogue.SelectDriver(name, manufacturer, product);
    };
    IsolatedAcmDrivers noCodecs;
    fakeacm::Install(Codec(901, 1, {Mp3Like(2, 16000)}));
    EXPECT_EQ(select(Sources(true, true, external)), 2);
    EXPECT_EQ(std::tuple(name, manufacturer),
              std::tuple(QString("Blade's MP3 Encoder"), BLADE_DRIVER_ID));
    EXPECT_EQ(select(Sources(false, true, external)), 2);
    EXPECT_EQ(product, LAME_DRIVER_ID);
    EXPECT_EQ(select(Sources(false, false, external)), 1);
    EXPECT_EQ(product, XING_DRIVER_ID);
    // None of the preferred ones: the first encoder listed is chosen.
    EXPECT_EQ(select(Sources(false, false)), 0);
    EXPECT_EQ(std::tuple(manufacturer, product), std::tuple(901u, 1u));

    // A stored choice is looked up loosely and corrected to what exists.
    manufacturer = 901;
    product = 7;
    EXPECT_EQ(catalogue.SelectDriver(name, manufacturer, product), 0);
    EXPECT_EQ(product, 1u);
    manufacturer = 9998;
    EXPECT_EQ(catalogue.SelectDriver(name, manufacturer, product), -1);
    EXPECT_EQ(manufacturer, 9998u);
}

TEST_F(Catalogue, TheDefaultFormatIsTheLast16000ByteOneAndSelectFormatWritesItBack) {
    fakeacm::Install(Codec(901, 1, {Mp3Like(1, 16000), Mp3Like(2, 16000), Mp3Like(2, 20000)}));
    fakeacm::Install(Codec(901, 2, {Mp3Like(2, 8000), Mp3Like(2, 24000)}));
    ASSERT_EQ(catalogue.Build(Sources(true, false)), 3);
    QStringList names;
    int position = -1;
    for (const auto& [driver, expected] : {std::pair{0, 1}, {1, 0}, {2, 5}, {3, -1}}) {
        catalogue.FormatNames(driver, names, position);
        EXPECT_EQ(position, expected) << driver;
    }

    QString text;
    std::uint32_t channels = 0, rate = 0;
    ASSERT_TRUE(catalogue.SelectFormat(0, text, channels, rate));
    EXPECT_EQ(std::tuple(text, channels, rate),
              std::tuple(QString("128 kBit/s, 44,100, Stereo  16 KB/s"), 2u, 16000u));

    rate = 15000;
    ASSERT_TRUE(catalogue.SelectFormat(0, text, channels, rate));
    EXPECT_EQ(rate, 20000u);
    channels = 6;
    EXPECT_FALSE(catalogue.SelectFormat(0, text, channels, rate));
    EXPECT_EQ(channels, 6u);
    channels = 2;
    EXPECT_FALSE(catalogue.SelectFormat(3, text, channels, rate));
}

TEST_F(Catalogue, ExternalEncoderIsFoundWithOrWithoutTrailingSlashAndOnlyWhileItExists) {
    const QString path = MakeExternalEncoder();
    catalogue.Build(Sources(false, false, path));
    const QString plain = catalogue.ExternalEncoderPath();
    EXPECT_FALSE(plain.isEmpty());
    catalogue.Build(Sources(false, false, path + "/"));
    EXPECT_EQ(catalogue.ExternalEncoderPath(), plain);
    EXPECT_EQ(catalogue.DriverCount(), 1);
    EXPECT_EQ(catalogue.Driver(0)->id, XING_DRIVER_ID);

    EXPECT_EQ(catalogue.Build(Sources(false, false, QString())), 0);
    EXPECT_EQ(catalogue.Build(Sources(false, false, path + "/" + QString(300, 'x'))), 0);
    ASSERT_TRUE(QFile::remove(plain));
    ASSERT_TRUE(QDir(path).mkdir(ExternalEncoderFileName())); // a folder is not a program
    EXPECT_EQ(catalogue.Build(Sources(false, false, path)), 0);
    EXPECT_TRUE(catalogue.ExternalEncoderPath().isEmpty());

    // With nothing installed every query comes back empty and changes nothing.
    QStringList names{"stale"};
    EXPECT_EQ(catalogue.DriverNames(names), 0);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(catalogue.FindDriverLoosely(9998, 9998), -1);
    QString text = "unchanged";
    std::uint32_t manufacturer = 0, product = 0, channels = 0, rate = 0;
    EXPECT_EQ(catalogue.SelectDriver(text, manufacturer, product), -1);
    EXPECT_FALSE(catalogue.SelectFormat(0, text, channels, rate));
    EXPECT_EQ(text, "unchanged");
    manufacturer = product = channels = rate = 7;
    catalogue.DriverIds(0, manufacturer, product);
    catalogue.FormatFacts(0, 0, channels, rate);
    EXPECT_EQ(manufacturer + product + channels + rate, 28u);
}

TEST_F(Catalogue, DefaultSourcesReadTheMachineWidePath) {
    QTemporaryDir system;
    ASSERT_TRUE(system.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system.path());
    const auto restore = qScopeGuard([] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                           QLibraryInfo::path(QLibraryInfo::SettingsPath));
    });
    const QString external = MakeExternalEncoder();
    {
        QSettings settings(QSettings::SystemScope, "Xing Technology Corp.", "XingMP3 Encoder");
        settings.setValue("Path", external);
    }
    int asked = 0;
    const CatalogueSources sources = DefaultCatalogueSources([&asked](int library) {
        ++asked;
        return library == 1;
    });
    EXPECT_EQ(sources.externalEncoderFolder(), std::optional<QString>(external));
    EXPECT_EQ(catalogue.Build(sources), 2);
    EXPECT_EQ(asked, 2);
    {
        QSettings settings(QSettings::SystemScope, "Xing Technology Corp.", "XingMP3 Encoder");
        settings.remove("Path");
    }
    EXPECT_EQ(sources.externalEncoderFolder(), std::nullopt);
}

TEST_F(Catalogue, StopsAddingAtItsLimits) {
    std::vector<WAVEFORMATEX> many;
    for (std::uint32_t i = 0; i < 200; ++i) {
        many.push_back(Mp3Like(2, 1000 + i));
    }
    fakeacm::Install(Codec(901, 0, many));
    for (std::uint16_t product = 1; product < 40; ++product) {
        fakeacm::Install(Codec(901, product, {Mp3Like(2, 16000)}));
    }
    EXPECT_EQ(catalogue.Build(Sources(true, true)), CATALOGUE_MAX_DRIVERS);
    EXPECT_EQ(catalogue.FormatCount(0), CATALOGUE_MAX_FORMATS);
    EXPECT_EQ(catalogue.Format(0, 127)->format.nAvgBytesPerSec, 1127u);
    EXPECT_EQ(catalogue.Driver(31)->productId, 31u);
}

TEST(CatalogueWithInstalledCodecs, ListsTheStandardDriversWithA128KbitDefault) {
    SetLocaleSettings(LocaleSettings{});
    EncoderCatalogue catalogue;
    CatalogueSources none;
    ASSERT_GE(catalogue.Build(none), 5);
    QStringList names;
    catalogue.DriverNames(names);
    const int mp3 = static_cast<int>(names.indexOf("MPEG Layer-3"));
    ASSERT_GE(mp3, 0);
    QStringList formats;
    int position = -1;
    EXPECT_EQ(catalogue.FormatNames(mp3, formats, position), 28);
    EXPECT_EQ(formats.value(position), "128 kBit/s, 44,100, Stereo  16 KB/s");
    EXPECT_EQ(catalogue.Format(mp3, position)->format.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    // Nothing preferred is there without the libraries and the external
    // encoder: the first codec, MP3, is chosen, at 128 kbit/s stereo.
    QString name, text;
    std::uint32_t manufacturer = 0, product = 0, channels = 0, rate = 0;
    EXPECT_EQ(catalogue.SelectDriver(name, manufacturer, product), 0);
    EXPECT_EQ(mp3, 0);
    EXPECT_TRUE(catalogue.SelectFormat(0, text, channels, rate));
    EXPECT_EQ(text, "128 kBit/s, 44,100, Stereo  16 KB/s");
    // What was written back is what an encode and the Options lists find.
    EXPECT_EQ(catalogue.FindDriverExactly(manufacturer, product), 0);
    EXPECT_EQ(catalogue.FindFormatExactly(0, channels, rate), position);
}
