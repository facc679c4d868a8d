#pragma once

#include <QPointer>
#include <QString>

class CNetworkDlg;
class MachineTable;
class QWidget;
struct EncoderSettings;

// What the Network dialog needs of the main window: the machines with their
// marks, this machine's own mark, and the role changes.
class NetworkRoles {
public:
    virtual ~NetworkRoles() = default;
    virtual MachineTable& Machines() = 0;
    virtual QString OwnName() const = 0;
    virtual bool AllowLocalStart() const = 0;
    virtual void SetAllowLocalStart(bool allowed) = 0;
    // This computer's address as dotted text, as found at start-up.
    virtual QString LocalAddress() const = 0;
    virtual bool IsBusy() const = 0;
    virtual void ClientStart() = 0;
    virtual void ServerStart() = 0;
    virtual void UpdateNetStatus() = 0;
    // The scheduler's distribution walk (-1: over every machine).
    virtual void StartNextFile(int machineIndex) = 0;
};

// The main window's Network command, and the live refresh of its dialog
// while that is open.
class NetworkCommand {
public:
    NetworkCommand(EncoderSettings& settings, NetworkRoles& roles)
        : settings(settings), roles(roles) {}

    // Runs the dialog; on OK takes its marks, then starts the other role when
    // "Client" changed, or lets newly marked machines join a running batch.
    // Returns the dialog's result.
    int OnNetwork(QWidget* parent);
    // A machine logged in or dropped: an open dialog follows at once.
    void RefreshOpenDialog();
    CNetworkDlg* OpenDialog() const { return open; }

private:
    EncoderSettings& settings;
    NetworkRoles& roles;
    QPointer<CNetworkDlg> open;
};
