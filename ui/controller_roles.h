#pragma once

#include "ui/dialogs/network_command.h"
#include "ui/dialogs/network_dlg.h" // the open dialog is held by a guarded pointer

class MainController;

// The Network dialog's view of the controller's real roles.
class ControllerRoles : public NetworkRoles {
public:
    explicit ControllerRoles(MainController& controller);

    MachineTable& Machines() override;
    QString OwnName() const override;
    bool AllowLocalStart() const override;
    void SetAllowLocalStart(bool allowed) override;
    QString LocalAddress() const override { return localAddress; }
    bool IsBusy() const override;
    void ClientStart() override;
    void ServerStart() override;
    void UpdateNetStatus() override;
    void StartNextFile(int machineIndex) override;

private:
    MainController& controller;
    QString localAddress;
};

// This computer's first IPv4 address that is not a loopback one, or the
// loopback address when it has none.
QString FindLocalAddress();
