#include "ui/dialogs/dialog_screenshots.h"

#include "ui/controls/display_caps.h"

#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList warnings;

void Collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        warnings << message;
    }
}

} // namespace

TEST(DialogScreenshots, EveryDialogIsDrawnIntoItsOwnPicture) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    const bool written = WriteDialogScreenshots(folder.filePath("shots"));
    qInstallMessageHandler(previous);
    EXPECT_TRUE(written);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();

    for (const char* name :
         {"options.png", "id3.png", "network.png", "columns.png", "errors.png", "stats.png",
          "about.png", "errors-120dpi.png", "stats-120dpi.png", "about-120dpi.png"}) {
        const QImage image(folder.filePath(QString("shots/") + name));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_GT(image.width(), 100) << name;
        EXPECT_GT(image.height(), 80) << name;
        // Something was drawn: more than a couple of colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3) {
                colours.insert(image.pixel(x, y));
            }
        }
        EXPECT_GT(colours.size(), 4) << name;
    }
}

TEST(DialogScreenshots, The120DpiPicturesAreLargerAndTheDisplayIsRestored) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const int dotsPerInch = CurrentDisplayCaps().dotsPerInch;
    ASSERT_TRUE(WriteDialogScreenshots(folder.path()));
    EXPECT_EQ(CurrentDisplayCaps().dotsPerInch, dotsPerInch);
    for (const char* name : {"errors", "stats", "about"}) {
        const QImage normal(folder.filePath(QString("%1.png").arg(name)));
        const QImage large(folder.filePath(QString("%1-120dpi.png").arg(name)));
        EXPECT_GT(large.width(), normal.width()) << name;
        EXPECT_GT(large.height(), normal.height()) << name;
    }
}

TEST(DialogScreenshots, AFolderThatCannotBeMadeIsReported) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile blocker(folder.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(WriteDialogScreenshots(folder.filePath("file/shots")));
}
