#include "engines/library_binding.h"
#include "library_engine_fixture.h"

#include "app/trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace {

// Whether the process still has the library mapped.
bool IsMapped(const QString& path) {
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

class LibraryBindingTest : public testing::Test {
protected:
    void TearDown() override {
        UnloadEncoderLibraries();
        SetEncoderLibraryDirectory(QString());
    }
};

TEST_F(LibraryBindingTest, BindsBothLibrariesBesideTheProgram) {
    const QString bin = BinDirectory();
    if (!QFile::exists(QDir(bin).filePath("libBladeEnc.so")) ||
        !QFile::exists(QDir(bin).filePath("liblame_enc.so"))) {
        GTEST_SKIP() << "the encoder libraries are not built in " << bin.toStdString();
    }
    SetEncoderLibraryDirectory(bin, false);
    EXPECT_EQ(LoadEncoderLibraries(), 2);
    for (const int index : {BLADE_LIBRARY, LAME_LIBRARY}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(IsEncoderLibraryAvailable(index));
        const EncoderEntryPoints* entry = EncoderLibraryEntryPoints(index);
        ASSERT_NE(entry, nullptr);
        // The bound functions work: open and close a stream.
        BE_CONFIG config{};
        config.format.mp3 = {44100, BE_MP3_MODE_STEREO, 128, 0, 0, 0, 0};
        uint32_t samples = 0, bytes = 0;
        HBE_STREAM stream = 0;
        ASSERT_EQ(entry->beInitStream(&config, &samples, &bytes, &stream), BE_ERR_SUCCESSFUL);
        EXPECT_EQ(samples, 2304u);
        EXPECT_EQ(entry->beCloseStream(stream), BE_ERR_SUCCESSFUL);
        BE_VERSION version{};
        EXPECT_EQ(QueryEncoderLibraryVersion(index, &version), 1);
        EXPECT_TRUE(version.byDllMajorVersion == 1 && version.zHomepage[0] != '\0');
    }
    EXPECT_TRUE(IsMapped(QDir(bin).filePath("liblame_enc.so")));

    // Unloaded, or none in the folder: nothing is available, whatever the index.
    UnloadEncoderLibraries();
    EXPECT_FALSE(IsMapped(QDir(bin).filePath("liblame_enc.so")));
    QTemporaryDir empty;
    SetEncoderLibraryDirectory(empty.path(), false);
    EXPECT_EQ(LoadEncoderLibraries(), 0);
    BE_VERSION version{};
    for (const int index : {BLADE_LIBRARY, LAME_LIBRARY, -1, 2}) {
        EXPECT_FALSE(IsEncoderLibraryAvailable(index));
        EXPECT_EQ(EncoderLibraryEntryPoints(index), nullptr);
        EXPECT_EQ(QueryEncoderLibraryVersion(index, &version), 0);
    }
}

TEST_F(LibraryBindingTest, ALibraryLackingAnEntryPointIsReleasedAndUnavailable) {
    // Built by the encoders' fixtures: a lame_enc without beCloseStream.
    const QString fixture = QDir(BinDirectory()).filePath("../fixtures/incomplete");
    const QString path = QDir(fixture).filePath("liblame_enc.so");
    if (!QFile::exists(path)) {
        GTEST_SKIP() << "fixture not built: " << path.toStdString();
    }
    SetEncoderLibraryDirectory(fixture, false);
    EXPECT_EQ(LoadEncoderLibraries(), 0);
    // It was found and opened; only the missing export kept it out.
    EXPECT_NE(std::string(LastTraceLine()).find("lacks the entry point beCloseStream"),
              std::string::npos)
        << LastTraceLine();
    EXPECT_FALSE(IsEncoderLibraryAvailable(LAME_LIBRARY));
    EXPECT_EQ(EncoderLibraryEntryPoints(LAME_LIBRARY), nullptr);
    BE_VERSION version{};
    EXPECT_EQ(QueryEncoderLibraryVersion(LAME_LIBRARY, &version), 0);
    EXPECT_FALSE(IsMapped(path));
}

} // namespace
