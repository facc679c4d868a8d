#include "ui/dialogs/dialog_screenshots.h"

#include "ui/controls/display_caps.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// What the pictures show is checked on the program's own --screenshot run (test_ui).
TEST(DialogScreenshots, TheDisplayIsRestoredAndAFolderThatCannotBeMadeIsReported) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const int dotsPerInch = CurrentDisplayCaps().dotsPerInch;
    EXPECT_TRUE(WriteDialogScreenshots(folder.filePath("shots")));
    EXPECT_EQ(CurrentDisplayCaps().dotsPerInch, dotsPerInch);

    QFile blocker(folder.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(WriteDialogScreenshots(folder.filePath("file/shots")));
}
