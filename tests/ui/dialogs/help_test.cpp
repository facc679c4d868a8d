#include "ui/dialogs/help.h"

#include "modal_driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class Help : public testing::Test {
protected:
    void TearDown() override { SetHelpOpener({}); }
};

TEST_F(Help, OpensThePageBesideTheProgramInTheBuildTree) {
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
}

TEST_F(Help, AMissingPageIsReportedAndNothingIsOpened) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(FindHelpPage(empty.path()).isEmpty());
    bool asked = false;
    SetHelpOpener([&asked](const QUrl&) {
        asked = true;
        return true;
    });
    QString said;
    dialogtest::OnNextModal([&said](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        said = box->text();
        box->accept();
    });
    EXPECT_FALSE(OpenHelpPage(nullptr, empty.path()));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(said.contains("help/index.html")) << said.toStdString();
}

TEST_F(Help, AnOpenerThatFailsIsReported) {
    SetHelpOpener([](const QUrl&) { return false; });
    bool reported = false;
    dialogtest::OnNextModal([&reported](QWidget* modal) {
        reported = qobject_cast<QMessageBox*>(modal) != nullptr;
        qobject_cast<QDialog*>(modal)->accept();
    });
    EXPECT_FALSE(OpenHelpPage(nullptr, QCoreApplication::applicationDirPath()));
    EXPECT_TRUE(reported);
}

} // namespace
