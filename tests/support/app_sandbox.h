#pragma once

#include "app/encoder_app.h"
#include "support/memory_settings_store.h"

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

// A test whose application lives in a temporary directory: the program
// directory (and so error.log) there, with "in" and "out" as the source and
// output folders and settings kept in memory.
class AppSandbox : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A CD-quality WAV file of `frames` frames in `directory` (the source folder
    // when empty).
    QString MakeWav(const QString& name, std::uint32_t frames = 4410,
                    const QString& directory = QString());
    // What error.log holds now; empty when there is none.
    QString ErrorLog() const;

    QTemporaryDir temp;
    QString sourceDir;
    QString outputDir;
    MemorySettingsStore store;
    std::unique_ptr<CEncoderApp> app;
};

} // namespace testsupport
