#pragma once

#include "app/encoder_app.h"
#include "queue/admission.h"
#include "queue/queue_model.h"
#include "support/app_sandbox.h"
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
class QueueTest : public testsupport::AppSandbox {
protected:
    QString MakeJunk(const QString& name);
    AdmissionContext Context();
    QueueEntry* Admit(const QString& path);
    // Makes one-second WAVs of these names in the source folder and queues them.
    void AdmitFiles(std::initializer_list<const char*> names);
    // The names of the rows, top to bottom.
    static QStringList RowNames(const QueueModel& queue);
    // Leaves only `row` selected.
    void SelectOnly(int row);

    testsupport::RecordingView view;
    QueueModel model;
    QStringList reported;
};

} // namespace queuetest
