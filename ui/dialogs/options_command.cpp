#include "ui/dialogs/options_command.h"

#include "app/encoder_app.h"
#include "controller/main_controller.h"
#include "ui/dialogs/options_dlg.h"

int RunOptionsDialog(QWidget* parent, CEncoderApp& app, const EncoderCatalogue* catalogue,
                     MainController& controller, OptionsColumnsHost* columns) {
    const QString oldSourceDirectory = app.SourceDirectory();
    const std::uint32_t oldPriority = app.settings.priority;
    COptionsDlg dialog(app.settings, catalogue, parent);
    dialog.SetProgramDirectory(app.programDirectory);
    dialog.SetColumnsHost(columns);
    const int result = dialog.exec();
    controller.AfterOptions(oldSourceDirectory, oldPriority);
    return result;
}
