#include "ui/controls/columns_dlg.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace {

QList<bool> CheckedLines(CColumnsDlg& dialog) {
    QList<bool> checked;
    for (int i = 0; i < dialog.ColumnList()->count(); ++i) {
        checked << (dialog.ColumnList()->item(i)->checkState() == Qt::Checked);
    }
    return checked;
}

} // namespace

TEST(ColumnsDlg, LinesFollowTheSettingInOrder) {
    EncoderSettings settings;
    settings.columns = 1 | 4 | 16;
    CColumnsDlg dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "Encoder Columns");
    ASSERT_EQ(dialog.ColumnList()->count(), 4);
    EXPECT_EQ(dialog.ColumnList()->item(0)->text(), "Directory");
    EXPECT_EQ(dialog.ColumnList()->item(1)->text(), "Size");
    EXPECT_EQ(dialog.ColumnList()->item(2)->text(), "Status");
    EXPECT_EQ(dialog.ColumnList()->item(3)->text(), "Encoding Machine");
    EXPECT_EQ(CheckedLines(dialog), (QList<bool>{false, true, false, true}));
}

TEST(ColumnsDlg, OkStoresTheMaskWithFilesAlwaysSetAndCancelLeavesItAlone) {
    // The setting before, the lines then checked (bit i: line i; -1: as shown), OK or
    // Cancel, and the setting after.
    const struct {
        unsigned before;
        int checked;
        bool ok;
        unsigned after;
    } cases[] = {{31, 0b0000, true, 1},
                 {1, 0b1111, true, 31},
                 {0, -1, true, 1},
                 {31, 0b1011, true, 31 - 8},
                 {3, 0b1111, false, 3}};
    for (const auto& c : cases) {
        EncoderSettings settings;
        settings.columns = c.before;
        CColumnsDlg dialog(settings);
        for (int i = 0; c.checked >= 0 && i < dialog.ColumnList()->count(); ++i) {
            const bool on = (c.checked & (1 << i)) != 0;
            dialog.ColumnList()->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
        c.ok ? dialog.accept() : dialog.reject();
        EXPECT_EQ(settings.columns, c.after) << c.before << " " << c.checked;
        EXPECT_EQ(dialog.result(), c.ok ? QDialog::Accepted : QDialog::Rejected);
    }
}
