#include "ui/dialogs/help.h"

#include "modal_driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class Help : public testing::Test {
protected:
    void TearDown() override { SetHelpOpener({}); }
};

TEST_F(Help, OpensThePageBesideTheProgramInTheBuildTreeAndReportsFailures) {
    const QString bin = QCoreApplication::applicationDirPath();
    const QString page = FindHelpPage(bin);
    ASSERT_EQ(page, QDir(bin).filePath("help/index.html"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("<title>Corvane MP3 Encoder help</title>"));

    QUrl opened;
    SetHelpOpener([&opened](const QUrl& url) {
        opened = url;
        return true;
    });
    // Test programs are built beside the program, so F1's own lookup applies.
    EXPECT_TRUE(OpenHelp(nullptr));
    EXPECT_EQ(opened, QUrl::fromLocalFile(page));

    // A missing page, or an opener that fails, is reported; a missing page opens nothing.
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(FindHelpPage(empty.path()).isEmpty());
    int asked = 0;
    bool fails = false;
    SetHelpOpener([&](const QUrl&) { return ++asked, !fails; });
    QStringList said; // text, title of each message
    dialogtest::CloseNextMessage(said);
    EXPECT_FALSE(OpenHelpPage(nullptr, empty.path()));
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].contains("help/index.html")) << said[0].toStdString();

    fails = true;
    dialogtest::CloseNextMessage(said);
    EXPECT_FALSE(OpenHelpPage(nullptr, QCoreApplication::applicationDirPath()));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(said.size(), 4);
}

} // namespace
