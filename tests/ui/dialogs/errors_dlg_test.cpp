#include "ui/dialogs/errors_dlg.h"

#include "app/error_log.h"
#include "modal_driver.h"
#include "support/app_sandbox.h"

#include <QFile>
#include <QFontMetrics>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

class ErrorsDialog : public testsupport::AppSandbox {
protected:
    void WriteLog(const QByteArray& text) {
        QFile file(GetErrorLogPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    static QStringList Items(const CErrorsDlg& dialog) {
        QStringList items;
        for (int row = 0; row < dialog.ErrorList()->count(); ++row) {
            items << dialog.ErrorList()->item(row)->text();
        }
        return items;
    }
};

TEST_F(ErrorsDialog, ListsThreeRecordsSkipsTheEmptyLineAndScrollsToTheLongest) {
    const QString longest = QStringLiteral("12/07/2026 10:00:02 Studio: ") + QString(300, u'w');
    WriteLog("12/07/2026 10:00:01: File a.wav was rejected.\r\n\n" + longest.toUtf8() +
             "\r\r\n12/07/2026 10:00:03: Third.");
    CErrorsDlg dialog;
    EXPECT_EQ(Items(dialog), QStringList({"12/07/2026 10:00:01: File a.wav was rejected.", longest,
                                          "12/07/2026 10:00:03: Third."}));
    EXPECT_EQ(dialog.ErrorList()->currentRow(), 0);
    EXPECT_TRUE(dialog.ClearButton()->isEnabled());

    const int widest = QFontMetrics(dialog.ErrorList()->font()).horizontalAdvance(longest);
    EXPECT_GT(dialog.HorizontalExtent(), widest);
    EXPECT_LT(dialog.HorizontalExtent(), widest + 60);
    // The list really scrolls far enough to show the end of the longest line.
    dialog.resize(400, 300);
    dialog.show();
    QScrollBar* bar = dialog.ErrorList()->horizontalScrollBar();
    EXPECT_GE(bar->maximum() + dialog.ErrorList()->viewport()->width(), widest);
}

// A long line arrives in pieces of at most 1023 characters; zeros and a cut
// character left by a crash never break the list.
TEST_F(ErrorsDialog, LongLinesAndWhatACrashLeavesBehind) {
    WriteLog(QByteArray(1500, 'x') + "\n10:00:00: whole\n10:00:01: cut \xc3" +
             QByteArray(300, '\0'));
    CErrorsDlg dialog;
    const QStringList items = Items(dialog);
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items.first(3),
              (QStringList{QString(1023, u'x'), QString(1500 - 1023, u'x'), "10:00:00: whole"}));
    EXPECT_TRUE(items[3].startsWith("10:00:01: cut "));
    EXPECT_FALSE(items[3].contains(QChar(0)));
}

TEST_F(ErrorsDialog, ClearDeletesTheLogAndWithoutOneTheListIsEmpty) {
    ASSERT_TRUE(AddError(QStringLiteral("Something failed.")));
    ASSERT_TRUE(HasErrors());
    dialogtest::OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CErrorsDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->ErrorList()->count(), 1);
        dialog->ClearButton()->click();
        // The dialog stays open, empty, with the button disabled.
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->ErrorList()->count(), 0);
        EXPECT_FALSE(dialog->ClearButton()->isEnabled());
        dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    EXPECT_EQ(RunErrorsDialog(nullptr, *app), QDialog::Accepted);
    EXPECT_FALSE(HasErrors());
    EXPECT_FALSE(QFile::exists(GetErrorLogPath()));

    // Without a log the list is empty and Clear disabled; a log of nothing but line ends too.
    CErrorsDlg dialog;
    EXPECT_EQ(dialog.ErrorList()->count(), 0);
    EXPECT_FALSE(dialog.ClearButton()->isEnabled());
    EXPECT_EQ(dialog.HorizontalExtent(), 0);
    WriteLog("\r\n\n\r\n");
    dialog.LoadErrors();
    EXPECT_EQ(dialog.ErrorList()->count(), 0);
    EXPECT_FALSE(dialog.ClearButton()->isEnabled());
}

} // namespace
