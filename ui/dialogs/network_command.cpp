#include "ui/dialogs/network_command.h"

#include "app/encoder_settings.h"
#include "net/machine_table.h"
#include "ui/dialogs/network_dlg.h"

int NetworkCommand::OnNetwork(QWidget* parent) {
    CNetworkDlg dialog(settings, parent);
    dialog.SetMachines(roles.Machines(), false, roles.OwnName(), roles.AllowLocalStart());
    dialog.SetLocalAddress(roles.LocalAddress());

    const std::uint32_t wasClient = settings.client;
    open = &dialog;
    const int result = dialog.exec();
    open = nullptr;

    if (result == QDialog::Accepted) {
        bool ownFlag = roles.AllowLocalStart();
        dialog.ApplyChecks(roles.Machines(), ownFlag);
        roles.SetAllowLocalStart(ownFlag);
    }
    if (settings.client != wasClient) {
        if (settings.client != 0 && !settings.serverIp.isEmpty()) {
            roles.ClientStart();
        } else {
            roles.ServerStart();
        }
        roles.UpdateNetStatus();
    } else if (roles.IsBusy() && settings.client == 0) {
        roles.StartNextFile(-1);
    }
    return result;
}

void NetworkCommand::RefreshOpenDialog() {
    if (open != nullptr) {
        open->SetMachines(roles.Machines(), true, roles.OwnName(), roles.AllowLocalStart());
    }
}
