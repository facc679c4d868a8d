#include "window_fixture.h"

#include "net/machine_table.h"
#include "net/server_role.h"
#include "queue/main_view.h"
#include "ui/dialogs/modal_driver.h"
#include "ui/dialogs/network_dlg.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

using uitest::WindowTest;

TEST_F(WindowTest, OptionsWithANewSourceFolderRescansAndRelabels) {
    CreateWindow();
    const QString newSource = temp.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(newSource));
    MakeWav("found.wav", 4410, newSource);

    dialogtest::OnNextModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>("1011")->setText(newSource);
        qobject_cast<QDialog*>(modal)->accept();
    });
    window->OnCommand(ID_OPTIONS);

    EXPECT_EQ(app->settings.fromDir, newSource);
    EXPECT_EQ(window->Label(ID_SOURCE_DIR_LABEL)->text(), newSource);
    ASSERT_EQ(window->Controller().Model().RowCount(), 1);
    EXPECT_EQ(window->Controller().Model().EntryAt(0)->name.str(), "found");
}

TEST_F(WindowTest, TheNetworkDialogListsThisMachineAndFollowsLogIns) {
    CreateWindow();
    MachineTable& machines = window->Controller().Server().Machines();
    std::vector<QString> shown;
    std::vector<QString> refreshed;
    dialogtest::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CNetworkDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->MachineList()->count(); ++i) {
            shown.push_back(dialog->MachineList()->item(i)->text());
        }
        machines.At(3).name = QStringLiteral("Cellar");
        machines.At(3).enabled = true;
        // The server role reports a log-in through its hook.
        ASSERT_TRUE(window->Controller().Server().machinesChanged);
        window->Controller().Server().machinesChanged();
        for (int i = 0; i < dialog->MachineList()->count(); ++i) {
            refreshed.push_back(dialog->MachineList()->item(i)->text());
        }
        dialog->reject();
    });
    window->OnCommand(ID_NETWORK);

    const QString own = window->Controller().Batch().ownName;
    EXPECT_EQ(shown, std::vector<QString>{own});
    EXPECT_EQ(refreshed, (std::vector<QString>{own, "Cellar"}));
    EXPECT_EQ(window->Network().OpenDialog(), nullptr);
}
