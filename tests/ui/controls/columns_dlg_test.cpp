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

void CheckAll(CColumnsDlg& dialog, bool on) {
    for (int i = 0; i < dialog.ColumnList()->count(); ++i) {
        dialog.ColumnList()->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
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

TEST(ColumnsDlg, OkStoresTheMaskWithFilesAlwaysSet) {
    EncoderSettings settings;
    {
        CColumnsDlg dialog(settings);
        CheckAll(dialog, false);
        dialog.accept();
        EXPECT_EQ(settings.columns, 1u);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        CColumnsDlg dialog(settings);
        CheckAll(dialog, true);
        dialog.accept();
        EXPECT_EQ(settings.columns, 31u);
    }
    {
        settings.columns = 0;
        CColumnsDlg dialog(settings);
        EXPECT_EQ(CheckedLines(dialog), (QList<bool>{false, false, false, false}));
        dialog.accept();
        EXPECT_EQ(settings.columns, 1u);
    }
    {
        settings.columns = 31;
        CColumnsDlg dialog(settings);
        dialog.ColumnList()->item(2)->setCheckState(Qt::Unchecked);
        dialog.accept();
        EXPECT_EQ(settings.columns, 31u - 8u);
    }
}

TEST(ColumnsDlg, CancelLeavesTheSettingAlone) {
    EncoderSettings settings;
    settings.columns = 1 | 2;
    CColumnsDlg dialog(settings);
    CheckAll(dialog, true);
    dialog.reject();
    EXPECT_EQ(settings.columns, 3u);
}
