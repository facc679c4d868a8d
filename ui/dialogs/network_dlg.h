#pragma once

#include "app/encoder_settings.h"
#include "net/machine_table.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

class CIPAddrCtl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

// Item data of this computer's row in the machines list; the other rows
// carry their table index (0 to 63).
inline constexpr int OWN_MACHINE_ITEM = 65;

// "Network": this machine's role (client of a server address, or server) and,
// on a server, which machines may log in and which may encode. Edits
// "Client", "Server IP" and "Allowed Machines" on OK; the marks go back
// through ApplyChecks.
class CNetworkDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNetworkDlg(EncoderSettings& settings, QWidget* parent = nullptr);

    // Takes a copy of the machines table and this computer's name and mark.
    // With `refresh` (while the dialog is shown) the list is rebuilt, keeping
    // marks the user changed but has not confirmed; a machine new to the list
    // shows up marked.
    void SetMachines(const MachineTable& table, bool refresh, const QString& ownName, bool ownFlag);
    void SetLocalAddress(const QString& address) { ownAddress = address; }
    // After OK: the dialog's marks into the table and this machine's flag.
    void ApplyChecks(MachineTable& table, bool& ownFlagOut) const;

    // Fills the controls from the settings and the copy; runs when the dialog
    // is first shown.
    void InitDialog();
    // A client edits the server's address, a server its machines.
    void OnClientCheck();

    void accept() override;

    QCheckBox* ClientBox() const { return clientBox; }
    CIPAddrCtl* AddressControl() const { return address; }
    QListWidget* MachineList() const { return list; }
    QLabel* OwnNameLabel() const { return ownNameLabel; }
    QLabel* OwnAddressLabel() const { return ownAddressLabel; }
    // "Allowed Machines": who may log in to this machine as a server.
    QLineEdit* AllowedEdit() const { return allowed; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddRow(const QString& name, int itemData, bool checked);
    // Takes this machine's tick into ownFlag and hands every other row's to onMachine.
    void ReadChecks(const std::function<void(int index, bool checked)>& onMachine);

    EncoderSettings& settings;
    std::array<std::uint8_t, 4> serverAddress{};
    MachineTable machines;
    QString ownName;
    bool ownFlag = false;
    QString ownAddress;
    bool initialised = false;

    QCheckBox* clientBox;
    CIPAddrCtl* address;
    QListWidget* list;
    QLabel* ownNameLabel;
    QLabel* ownAddressLabel;
    QLineEdit* allowed;
    QLabel* allowedProblem;
};

// The four numbers of a "Server IP" text: at most 31 characters, split at the
// dots; each of the first four pieces gives its leading digits' value (none
// give 0, as do missing pieces), kept to its low eight bits.
std::array<std::uint8_t, 4> ParseServerAddress(const QString& serverIp);
