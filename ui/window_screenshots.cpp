#include "ui/window_screenshots.h"

#include "app/encoder_app.h"
#include "app/settings_store.h"
#include "app/trace.h"
#include "controller/engine_ports.h"
#include "queue/batch_state.h"
#include "queue/encode_scheduler.h"
#include "queue/queue_model.h"
#include "ui/controls/display_caps.h"
#include "ui/controls/skin_progress.h"
#include "ui/dialogs/dialog_screenshots.h"
#include "ui/encoder_dlg.h"
#include "ui/sample_wav.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

namespace {

constexpr int LONG_FILE_SECONDS = 240;
constexpr int SHORT_FILE_SECONDS = 20;
constexpr int ENCODE_WAIT_MS = 30000;
// The library encoder on libmp3lame, 128 kbit/s stereo.
constexpr std::uint32_t SAMPLE_ENCODER_ID = 9997;
constexpr std::uint32_t SAMPLE_BYTES_PER_SEC = 16000;

bool Save(QWidget& window, const QDir& directory, const QString& name) {
    QApplication::processEvents();
    return SaveWidgetPicture(window, directory.filePath(name));
}

// Runs events until the first file of the batch shows some progress.
bool WaitForProgress(CEncoderDlg& window) {
    QDeadlineTimer deadline(ENCODE_WAIT_MS);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window.ProgressBar()->Pos() >= 5 || !window.Controller().Batch().IsBusy()) {
            break;
        }
        QThread::msleep(10);
    }
    return window.Controller().Batch().IsBusy();
}

bool ShootLayout(const QDir& out, const QString& work, int dpi, const QString& suffix) {
    const QString base = QDir(work).filePath(QStringLiteral("dpi%1").arg(dpi));
    const QString in = QDir(base).filePath(QStringLiteral("in"));
    const QString mp3 = QDir(base).filePath(QStringLiteral("out"));
    if (!QDir().mkpath(in) || !QDir().mkpath(mp3)) {
        return false;
    }
    std::unique_ptr<SettingsStore> store =
        OpenSettingsFile(QDir(base).filePath(QStringLiteral("settings.ini")));
    CEncoderApp app(*store);
    app.InitProgramDirectory(base);
    app.LoadSettings();
    app.settings.fromDir = in;
    app.settings.toDir = mp3;
    app.settings.manufacturerId = SAMPLE_ENCODER_ID;
    app.settings.productId = SAMPLE_ENCODER_ID;
    app.settings.channels = 2;
    app.settings.bytesPerSec = SAMPLE_BYTES_PER_SEC;
    app.settings.columns = 31;
    const QStringList names = {QStringLiteral("Morning Song.wav"),
                               QStringLiteral("Evening Song.wav"), QStringLiteral("Interlude.wav")};
    for (int i = 0; i < names.size(); ++i) {
        if (!WriteSampleWav(QDir(in).filePath(names[i]),
                            i == 0 ? LONG_FILE_SECONDS : SHORT_FILE_SECONDS)) {
            return false;
        }
    }

    const DisplayCapsScope display(dpi);
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    bool saved = true;
    {
        CEncoderDlg window(app,
                           MainController::Ports{engines->Encoder(), engines->Codec(),
                                                 engines->Probe(), nullptr, nullptr},
                           engines->Catalogue());
        window.Controller().Scheduler().writeTag = engines->TagWriter();
        window.messageBox = [](QMessageBox::Icon, const QString&, const QString&,
                               QMessageBox::StandardButtons) { return QMessageBox::Ok; };
        window.Create(false);
        window.move(0, 0);
        window.show();
        saved = Save(window, out, QStringLiteral("main-idle%1.png").arg(suffix));

        window.Controller().OnEncode();
        if (!WaitForProgress(window)) {
            Trace("windowscreenshots: the batch did not run\n");
            saved = false;
        }
        saved = Save(window, out, QStringLiteral("main-encoding%1.png").arg(suffix)) && saved;
        window.OnQuit();
    }
    return saved;
}

} // namespace

bool WriteWindowScreenshots(const QString& directoryPath) {
    QDir out(directoryPath);
    QTemporaryDir work;
    if (!out.mkpath(QStringLiteral(".")) || !work.isValid()) {
        return false;
    }
    bool saved = ShootLayout(out, work.path(), 96, QString());
    saved = ShootLayout(out, work.path(), 120, QStringLiteral("-120dpi")) && saved;

    std::unique_ptr<SettingsStore> store =
        OpenSettingsFile(QDir(work.path()).filePath(QStringLiteral("dialogs.ini")));
    CEncoderApp app(*store);
    app.InitProgramDirectory(work.path());
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    saved = WriteDialogScreenshots(directoryPath, engines->Catalogue()) && saved;
    return saved;
}
