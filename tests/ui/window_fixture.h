#pragma once

#include "controller/engine_ports.h"
#include "support/app_sandbox.h"
#include "ui/controls/tray_icon.h"
#include "ui/encoder_dlg.h"

#include <QMessageBox>
#include <QStringList>
#include <memory>

namespace uitest {

// A notification area that only records what it was asked; with `missing`
// set it refuses everything, as a desktop without a tray does.
class RecordingTrayShell : public TrayShell {
public:
    RecordingTrayShell(QStringList* log, const bool* missing) : log(log), missing(missing) {}
    bool Notify(TrayOperation operation, const TrayRecord& record) override;

private:
    QStringList* log;
    const bool* missing;
};

// The real window over the real controller and encoders, in a sandbox.
class WindowTest : public testsupport::AppSandbox {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the window; the settings may be changed before.
    void CreateWindow();
    // A WAV file of `seconds` of audio in the source folder.
    QString MakeSeconds(const QString& name, double seconds);
    void SelectOnly(int row);
    QString StatusCell(int row) const;

    QString journalDirectory; // set: the window keeps its queue there
    std::unique_ptr<EnginePorts> engines;
    std::unique_ptr<CEncoderDlg> window;
    QStringList trayLog;
    bool trayMissing = false;
    QStringList messages;
};

} // namespace uitest
