#include "window_fixture.h"

#include "queue/encode_scheduler.h"
#include "queue/queue_model.h"
#include "ui/file_list_ctrl.h"
#include "ui/file_list_model.h"

#include <QApplication>

namespace uitest {

bool RecordingTrayShell::Notify(TrayOperation operation, const TrayRecord& record) {
    const char* names[] = {"add", "modify", "delete"};
    log->append(QStringLiteral("%1 %2").arg(names[static_cast<int>(operation)], record.tip));
    return !*missing;
}

void WindowTest::SetUp() {
    AppSandbox::SetUp();
    app->settings.manufacturerId = 9997; // the library on libmp3lame
    app->settings.productId = 9997;
    app->settings.channels = 2;
    app->settings.bytesPerSec = 16000;
}

void WindowTest::CreateWindow() {
    engines = MakeEnginePorts(*app);
    window = std::make_unique<CEncoderDlg>(
        *app,
        MainController::Ports{engines->Encoder(), engines->Codec(), engines->Probe(), nullptr,
                              nullptr},
        engines->Catalogue(), std::make_unique<RecordingTrayShell>(&trayLog, &trayMissing));
    window->Controller().Scheduler().writeTag = engines->TagWriter();
    window->messageBox = [this](QMessageBox::Icon, const QString& text, const QString&,
                                QMessageBox::StandardButtons) {
        messages.append(text);
        return QMessageBox::Ok;
    };
    if (!journalDirectory.isEmpty()) {
        window->KeepJournalIn(journalDirectory);
    }
    window->Create(false);
    window->show();
    QApplication::processEvents();
}

void WindowTest::TearDown() {
    if (window && window->Controller().Batch().IsBusy()) {
        window->OnQuit();
    }
    window.reset();
    engines.reset();
    AppSandbox::TearDown();
}

QString WindowTest::MakeSeconds(const QString& name, double seconds) {
    return MakeWav(name, static_cast<std::uint32_t>(seconds * 44100));
}

void WindowTest::SelectOnly(int row) {
    QueueModel& model = window->Controller().Model();
    model.ClearSelection();
    model.SelectAndFocus(row);
}

QString WindowTest::StatusCell(int row) const {
    FileListModel& list = window->FileList().Model();
    return list.data(list.index(row, LIST_COLUMN_STATUS)).toString();
}

} // namespace uitest
