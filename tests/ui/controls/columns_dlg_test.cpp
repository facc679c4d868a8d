#include "ui/controls/columns_dlg.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace {

// The lines' texts, "+" before the checked ones.
QStringList Lines(CColumnsDlg& dialog) {
    QStringList lines;
    for (int i = 0; i < dialog.ColumnList()->count(); ++i) {
        const QListWidgetItem* item = dialog.ColumnList()->item(i);
        lines << (item->checkState() == Qt::Checked ? "+" : "") + item->text();
    }
    return lines;
}

} // namespace

TEST(ColumnsDlg, LinesFollowTheSettingAndOkStoresTheMaskWithFilesAlwaysSet) {
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
                 {1 | 4 | 16, 0b1111, false, 1 | 4 | 16}};
    for (const auto& c : cases) {
        EncoderSettings settings;
        settings.columns = c.before;
        CColumnsDlg dialog(settings);
        if (!c.ok) {
            EXPECT_EQ(dialog.windowTitle(), "Encoder Columns");
            EXPECT_EQ(Lines(dialog),
                      (QStringList{"Directory", "+Size", "Status", "+Encoding Machine"}));
        }
        for (int i = 0; c.checked >= 0 && i < dialog.ColumnList()->count(); ++i) {
            const bool on = (c.checked & (1 << i)) != 0;
            dialog.ColumnList()->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
        c.ok ? dialog.accept() : dialog.reject();
        EXPECT_EQ(settings.columns, c.after) << c.before << " " << c.checked;
        EXPECT_EQ(dialog.result(), c.ok ? QDialog::Accepted : QDialog::Rejected);
    }
}
