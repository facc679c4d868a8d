#include "ui/dialogs/about_dlg.h"

#include "engines/library_binding.h"
#include "ui/controls/static_link.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AboutDialog : public testing::Test {
protected:
    void SetUp() override {
        SetEncoderLibraryDirectory(QCoreApplication::applicationDirPath(), false);
    }
    void TearDown() override {
        UnloadEncoderLibraries();
        SetEncoderLibraryDirectory(QString());
    }
};

TEST_F(AboutDialog, TheBladeLibrarysVersionHomePageAndPicturesAndItsLinesHiddenWithoutIt) {
    ASSERT_GE(LoadEncoderLibraries(), 1);
    BE_VERSION version{};
    ASSERT_EQ(QueryEncoderLibraryVersion(BLADE_LIBRARY, &version), 1);
    CAboutDlg dialog;
    EXPECT_EQ(dialog.Control(1053)->text(), "A Corvane MP3 Encoder, ver. 2.0");
    EXPECT_TRUE(dialog.Control(1053)->font().bold());
    EXPECT_EQ(dialog.Control(1045)->text(), "BladeEnc - Blade's MP3 Encoder");
    EXPECT_EQ(dialog.Control(1049)->text(),
              QString::asprintf("Version %u.%02u", unsigned(version.byMajorVersion),
                                unsigned(version.byMinorVersion)));
    const QString homepage = QString::fromLatin1(version.zHomepage);
    ASSERT_FALSE(homepage.isEmpty());
    EXPECT_EQ(dialog.LibraryLink()->text(), homepage);
    EXPECT_EQ(dialog.LibraryLink()->Target(), homepage);

    // A click opens the library's page.
    QString opened;
    dialog.LibraryLink()->SetOpener([&opened](const QString& target) {
        opened = target;
        return true;
    });
    dialog.show();
    for (int id : {1045, 1046, 1047, 1048, 1049}) {
        EXPECT_TRUE(dialog.Control(id)->isVisible()) << id;
    }
    QTest::mouseClick(dialog.LibraryLink(), Qt::LeftButton);
    EXPECT_EQ(opened, homepage);

    // A plain click on the title shows nothing, a Ctrl+click its picture.
    QTest::mouseClick(dialog.Control(1053), Qt::LeftButton);
    EXPECT_EQ(dialog.findChild<CPictureDlg*>(), nullptr);

    QTest::mouseClick(dialog.Control(1053), Qt::LeftButton, Qt::ControlModifier);
    auto* picture = dialog.findChild<CPictureDlg*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->BitmapId(), CAboutDlg::TITLE_PICTURE);
    const QLabel* image = picture->findChild<QLabel*>("picture");
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->pixmap().isNull());
    delete picture;

    QTest::mouseClick(dialog.Control(1045), Qt::LeftButton, Qt::ControlModifier);
    picture = dialog.findChild<CPictureDlg*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->BitmapId(), CAboutDlg::LIBRARY_PICTURE);

    // Without the library its lines are hidden.
    UnloadEncoderLibraries();
    CAboutDlg bare;
    bare.show();
    EXPECT_TRUE(bare.Control(1053)->isVisible());
    for (int id : {1045, 1046, 1047, 1041, 1049, 1048}) {
        EXPECT_FALSE(bare.Control(id)->isVisible()) << id;
    }
}

} // namespace
