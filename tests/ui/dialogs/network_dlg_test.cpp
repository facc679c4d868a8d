#include "ui/dialogs/network_dlg.h"

#include "modal_driver.h"
#include "ui/controls/ip_addr_ctl.h"
#include "ui/dialogs/network_command.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

namespace {

struct Row {
    QString name;
    int data;
    bool checked;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.name.toStdString() << "/" << row.data << "/" << row.checked;
}

std::vector<Row> Rows(const CNetworkDlg& dialog) {
    std::vector<Row> rows;
    for (int i = 0; i < dialog.MachineList()->count(); ++i) {
        const QListWidgetItem* item = dialog.MachineList()->item(i);
        rows.push_back(
            {item->text(), item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked});
    }
    return rows;
}

void SetMark(CNetworkDlg& dialog, int row, bool checked) {
    dialog.MachineList()->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QStringList Fields(const CNetworkDlg& dialog) {
    QStringList fields;
    for (int i = 0; i < CIPAddrCtl::FIELD_COUNT; ++i) {
        fields << dialog.AddressControl()->Field(i)->text();
    }
    return fields;
}

void SetFields(CNetworkDlg& dialog, const QStringList& fields) {
    for (int i = 0; i < CIPAddrCtl::FIELD_COUNT; ++i) {
        dialog.AddressControl()->Field(i)->setText(fields[i]);
    }
}

void LogIn(MachineTable& table, int slot, const char* name, bool enabled = true) {
    table.At(slot).name = QString::fromLatin1(name);
    table.At(slot).enabled = enabled;
}

class NetworkDlg : public testing::Test {
protected:
    void SetUp() override {
        LogIn(machines, 3, "Studio");
        LogIn(machines, 7, "Attic", false);
    }

    // A dialog as the Network command opens it.
    std::unique_ptr<CNetworkDlg> Open(bool ownFlag = true) {
        auto dialog = std::make_unique<CNetworkDlg>(settings);
        dialog->SetMachines(machines, false, "Kitchen", ownFlag);
        dialog->SetLocalAddress("127.0.0.5");
        dialog->InitDialog();
        return dialog;
    }

    EncoderSettings settings;
    MachineTable machines;
};

} // namespace

TEST_F(NetworkDlg, OpensWithTheServerAddressAndThisComputerFirstAndRefreshKeepsTheMarks) {
    settings.serverIp = "10.1.2.3.4";
    settings.client = 1;
    auto dialog = Open(false);
    EXPECT_EQ(dialog->windowTitle(), "Network");
    EXPECT_TRUE(dialog->ClientBox()->isChecked());
    EXPECT_EQ(Fields(*dialog), (QStringList{"10", "1", "2", "3"}));
    EXPECT_EQ(Rows(*dialog),
              (std::vector<Row>{
                  {"Kitchen", OWN_MACHINE_ITEM, false}, {"Studio", 3, true}, {"Attic", 7, false}}));
    EXPECT_EQ(dialog->OwnNameLabel()->text() + " " + dialog->OwnAddressLabel()->text(),
              "Kitchen 127.0.0.5");

    settings.serverIp = "192.x.7";
    settings.client = 0;
    dialog = Open();
    EXPECT_EQ(Fields(*dialog), (QStringList{"192", "0", "7", "0"}));

    // A refresh lists new machines marked and keeps the marks not yet confirmed.
    SetMark(*dialog, 0, false); // this computer
    SetMark(*dialog, 1, false); // Studio
    SetMark(*dialog, 2, true);  // Attic
    dialog->MachineList()->setCurrentRow(2);

    LogIn(machines, 5, "Cellar", false);
    dialog->SetMachines(machines, true, "Kitchen", true);
    EXPECT_EQ(Rows(*dialog), (std::vector<Row>{{"Kitchen", OWN_MACHINE_ITEM, false},
                                               {"Studio", 3, false},
                                               {"Cellar", 5, true},
                                               {"Attic", 7, true}}));
    EXPECT_EQ(dialog->MachineList()->currentRow(), 2);

    // Two machines drop: the selection moves to the last row.
    machines.At(5) = MachineEntry{};
    machines.At(7) = MachineEntry{};
    dialog->MachineList()->setCurrentRow(3);
    dialog->SetMachines(machines, true, "Kitchen", true);
    EXPECT_EQ(Rows(*dialog).size(), 2u);
    EXPECT_EQ(dialog->MachineList()->currentRow(), 1);

    dialog->accept();
    bool ownFlag = true;
    dialog->ApplyChecks(machines, ownFlag);
    EXPECT_EQ(std::pair(ownFlag, machines.At(3).enabled), std::pair(false, false));
}

// Each half is greyed while the other role is chosen.
TEST_F(NetworkDlg, TheMachinesAllowedToLogInAreEditedHereAndCheckedOnOk) {
    settings.allowedMachines = "10.0.0.0/8";
    auto dialog = Open();
    QLineEdit* allowed = dialog->AllowedEdit();
    EXPECT_EQ(allowed->text(), "10.0.0.0/8");
    EXPECT_TRUE(allowed->placeholderText().contains("127.0.0.0/8")); // the default when empty
    auto enabled = [&] {
        return std::vector{allowed->isEnabled(), dialog->MachineList()->isEnabled(),
                           dialog->AddressControl()->isEnabled()};
    };
    dialog->ClientBox()->setChecked(true);
    EXPECT_EQ(enabled(), (std::vector{false, false, true}));
    dialog->ClientBox()->setChecked(false);
    EXPECT_EQ(enabled(), (std::vector{true, true, false}));

    allowed->setText("192.168.1.0/24 printer");
    dialog->accept();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.allowedMachines, "10.0.0.0/8");
    allowed->setText(" 192.168.1.0/24, 10.0.0.7 ");
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.allowedMachines, "192.168.1.0/24, 10.0.0.7");
}

// An incomplete address keeps the dialog open and changes nothing; an empty one is no client.
TEST_F(NetworkDlg, OkStoresOnlyAWholeAddress) {
    settings.serverIp = "127.0.0.1";
    auto dialog = Open();
    QStringList errors;
    dialog->AddressControl()->SetErrorReporter([&](const QString& text) { errors << text; });
    dialog->ClientBox()->setChecked(true);
    SetFields(*dialog, {"10", "", "0", "1"});
    SetMark(*dialog, 1, false);
    dialog->accept();
    EXPECT_EQ(errors, QStringList{"Missing value in IP address"});
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(std::tuple(settings.serverIp, settings.client), std::tuple("127.0.0.1", 0u));
    bool ownFlag = false;
    dialog->ApplyChecks(machines, ownFlag);
    EXPECT_TRUE(machines.At(3).enabled);

    SetFields(*dialog, {"127", "0", "0", "9"});
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(std::tuple(settings.serverIp, settings.client), std::tuple("127.0.0.9", 1u));

    dialog = Open();
    SetFields(*dialog, {"0", "0", "0", "0"});
    dialog->ClientBox()->setChecked(true);
    dialog->accept();
    EXPECT_EQ(std::tuple(settings.serverIp, settings.client), std::tuple("", 0u));
}

namespace {

struct FakeRoles : NetworkRoles {
    MachineTable& Machines() override { return table; }
    QString OwnName() const override { return "Kitchen"; }
    bool AllowLocalStart() const override { return allowLocal; }
    void SetAllowLocalStart(bool allowed) override { allowLocal = allowed; }
    QString LocalAddress() const override { return "127.0.0.5"; }
    bool IsBusy() const override { return busy; }
    void ClientStart() override { calls << "ClientStart"; }
    void ServerStart() override { calls << "ServerStart"; }
    void UpdateNetStatus() override { calls << "UpdateNetStatus"; }
    void StartNextFile(int machine) override { calls << QString("StartNextFile %1").arg(machine); }

    MachineTable table;
    bool allowLocal = true;
    bool busy = false;
    QStringList calls;
};

// Opens the command's dialog and lets `act` work it.
int RunNetwork(NetworkCommand& command, const std::function<void(CNetworkDlg&)>& act) {
    dialogtest::OnNextModal([act](QWidget* modal) { act(*qobject_cast<CNetworkDlg*>(modal)); });
    return command.OnNetwork(nullptr);
}

} // namespace

TEST(NetworkCommand, AMachineLoggingInWhileOpenJoinsTheRunningBatchOnOk) {
    EncoderSettings settings;
    FakeRoles roles;
    roles.busy = true;
    LogIn(roles.table, 0, "Studio");
    NetworkCommand command(settings, roles);

    std::vector<Row> seen;
    const int result = RunNetwork(command, [&](CNetworkDlg& dialog) {
        ASSERT_EQ(&dialog, command.OpenDialog());
        SetMark(dialog, 0, false);
        SetMark(dialog, 1, false);
        LogIn(roles.table, 4, "Cellar", false); // the dialog's mark counts
        command.RefreshOpenDialog();
        seen = Rows(dialog);
        dialog.accept();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(seen, (std::vector<Row>{{"Kitchen", OWN_MACHINE_ITEM, false},
                                      {"Studio", 0, false},
                                      {"Cellar", 4, true}}));
    EXPECT_EQ(command.OpenDialog(), nullptr);
    EXPECT_EQ((std::vector{roles.allowLocal, roles.table.At(0).enabled, roles.table.At(4).enabled}),
              (std::vector{false, false, true}));
    EXPECT_EQ(roles.calls, QStringList{"StartNextFile -1"});
}

TEST(NetworkCommand, ChangingTheRoleStartsTheOtherRole) {
    EncoderSettings settings;
    FakeRoles roles;
    roles.busy = true;
    NetworkCommand command(settings, roles);
    RunNetwork(command, [](CNetworkDlg& dialog) {
        dialog.ClientBox()->setChecked(true);
        SetFields(dialog, {"127", "0", "0", "2"});
        dialog.accept();
    });
    EXPECT_EQ(roles.calls, (QStringList{"ClientStart", "UpdateNetStatus"}));
    EXPECT_EQ(settings.serverIp, "127.0.0.2");

    roles.calls.clear();
    RunNetwork(command, [](CNetworkDlg& dialog) {
        dialog.ClientBox()->setChecked(false);
        dialog.accept();
    });
    EXPECT_EQ(roles.calls, (QStringList{"ServerStart", "UpdateNetStatus"}));

    // Cancel changes nothing, and an idle server starts nothing.
    roles.calls.clear();
    roles.busy = false;
    EXPECT_EQ(RunNetwork(command,
                         [](CNetworkDlg& dialog) {
                             dialog.ClientBox()->setChecked(true);
                             SetMark(dialog, 0, false);
                             dialog.reject();
                         }),
              QDialog::Rejected);
    EXPECT_TRUE(roles.allowLocal);
    EXPECT_EQ(settings.client, 0u);
    EXPECT_TRUE(roles.calls.isEmpty());
}
