#pragma once

#include "app/encoder_app.h"
#include "queue/admission.h"
#include "queue/queue_model.h"
#include "support/fake_encoder.h"
#include "support/memory_settings_store.h"
#include "support/recording_view.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace queuetest {

using testsupport::FakeEncoder;
using testsupport::ManualClock;

// A queue on disk: source and output folders in a temporary directory.
class QueueTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A WAV file of `frames` CD-quality frames in the source folder.
    QString MakeWav(const QString& name, std::uint32_t frames = 4410);
    QString MakeJunk(const QString& name);
    AdmissionContext Context();
    QueueEntry* Admit(const QString& path);
    QString ErrorLog() const;

    QTemporaryDir temp;
    QString sourceDir;
    QString outputDir;
    testsupport::MemorySettingsStore store;
    std::unique_ptr<CEncoderApp> app;
    testsupport::RecordingView view;
    QueueModel model;
    QStringList reported;
};

} // namespace queuetest
