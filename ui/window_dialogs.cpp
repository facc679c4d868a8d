#include "ui/window_dialogs.h"

#include "controller/main_controller.h"
#include "queue/queue_model.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/errors_dlg.h"
#include "ui/dialogs/help.h"
#include "ui/dialogs/stats_dlg.h"
#include "ui/encoder_dlg.h"

#include <QPointer>
#include <memory>

void ConnectWindowDialogs(CEncoderDlg& window, CEncoderApp& app) {
    // The Stats dialog is modeless and owned by the window; the pointer clears
    // itself when the dialog is closed and deleted.
    auto stats = std::make_shared<QPointer<CStatsDlg>>();
    window.onErrors = [&window, &app] { RunErrorsDialog(&window, app); };
    window.onAbout = [&window, &app] { RunAboutDialog(&window, app); };
    window.onHelp = [&window] { OpenHelp(&window); };
    window.onStats = [&window, stats] {
        QueueModel& model = window.Controller().Model();
        const QueueEntry* entry = model.EntryAt(model.FocusRow());
        if (stats->isNull()) {
            auto* dialog = new CStatsDlg(window.Controller(), &window);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            *stats = dialog;
        }
        (*stats)->ShowEntry(entry);
        (*stats)->show();
        (*stats)->raise();
        (*stats)->activateWindow();
    };
    window.statsOpenFor = [stats](const QueueEntry* entry) {
        return !stats->isNull() && (*stats)->isVisible() && (*stats)->IsShowingEntry(entry);
    };
    window.refreshStats = [stats] {
        if (!stats->isNull()) {
            (*stats)->Refresh();
        }
    };
}
