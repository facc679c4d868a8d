#include "queue_fixture.h"

#include "app/error_log.h"
#include "app/output_path.h"
#include "app/program_directory.h"
#include "queue/wave_probe.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>

namespace queuetest {

QString QueueTest::MakeJunk(const QString& name) {
    const QString path = sourceDir + u'/' + name;
    testsupport::WriteFile(path.toStdString(), {'n', 'o', 't', ' ', 'w', 'a', 'v'});
    return path;
}

AdmissionContext QueueTest::Context() {
    AdmissionContext context;
    context.probe = ReadWaveFacts;
    context.outputPathOf = [this](const QString& path) {
        return MakeOutputPath(path, app->settings, app->programDirectory);
    };
    context.reportError = [this](const QString& message) {
        reported.append(message);
        AddError(message);
    };
    return context;
}

QueueEntry* QueueTest::Admit(const QString& path) {
    QueueEntry* entry = AddNewFile(model, path, Context());
    if (entry != nullptr) {
        model.AddRowAtEnd(entry);
    }
    return entry;
}

void QueueTest::AdmitFiles(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        Admit(MakeWav(QString::fromLatin1(name), 44100));
    }
}

QStringList QueueTest::RowNames(const QueueModel& queue) {
    QStringList names;
    for (int row = 0; row < queue.RowCount(); ++row) {
        names.append(queue.EntryAt(row)->name.str());
    }
    return names;
}

void QueueTest::SelectOnly(int row) {
    model.ClearSelection();
    model.Select(row);
}

} // namespace queuetest
