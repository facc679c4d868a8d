#include "ui/dialogs/dialog_screenshots.h"

#include "ui/controls/display_caps.h"

#include <QDir>
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

TEST(DialogScreenshots, EveryDialogIsDrawnIntoItsOwnPictureAt96And120Dpi) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir shots(folder.filePath("shots"));
    const int dotsPerInch = CurrentDisplayCaps().dotsPerInch;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    const bool written = WriteDialogScreenshots(shots.path());
    qInstallMessageHandler(previous);
    EXPECT_TRUE(written);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    EXPECT_EQ(CurrentDisplayCaps().dotsPerInch, dotsPerInch) << "the display is restored";

    for (const char* name : {"options", "id3", "network", "columns", "errors", "stats", "about",
                             "errors-120dpi", "stats-120dpi", "about-120dpi"}) {
        const QImage image(shots.filePath(QString(name) + ".png"));
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
        if (QString(name).endsWith("-120dpi")) {
            const QImage normal(shots.filePath(QString(name).section('-', 0, 0) + ".png"));
            EXPECT_GT(image.width(), normal.width()) << name;
            EXPECT_GT(image.height(), normal.height()) << name;
        }
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
