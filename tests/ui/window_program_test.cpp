#include "window_fixture.h"

#include "support/program_process.h"
#include "ui/controls/skin_progress.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using uitest::WindowTest;

TEST_F(WindowTest, ScreenshotsOfTheWindowAndItsDialogsAreImages) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess program;
    QProcessEnvironment environment = testsupport::ProgramEnvironment(out.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", out.filePath("home"));
    // Each message says its kind, so that a warning cannot pass for other output.
    environment.insert("QT_MESSAGE_PATTERN", "%{type}: %{message}");
    program.setProcessEnvironment(environment);
    program.start(CORVANE_ENCODER, {"--screenshot", out.filePath("shots")});
    ASSERT_TRUE(program.waitForFinished(180000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(program.exitCode(), 0) << errors.toStdString();
    static const QRegularExpression WARNING("^(warning|critical|fatal): ",
                                            QRegularExpression::MultilineOption);
    EXPECT_FALSE(errors.contains(WARNING)) << errors.toStdString();

    const QDir shots(out.filePath("shots"));
    for (const QString name :
         {"main-idle", "main-encoding", "main-idle-120dpi", "main-encoding-120dpi", "options",
          "id3", "network", "columns", "errors", "stats", "about", "errors-120dpi", "stats-120dpi",
          "about-120dpi"}) {
        const QImage image(shots.filePath(name + ".png"));
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_GT(image.width(), 100) << name.toStdString();
        EXPECT_GT(image.height(), 80) << name.toStdString();
        // Something was drawn: more than a couple of colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3) {
                colours.insert(image.pixel(x, y));
            }
        }
        EXPECT_GT(colours.size(), 4) << name.toStdString();
        // The large-fonts pictures are larger.
        if (name.endsWith("-120dpi")) {
            const QImage normal(shots.filePath(name.chopped(7) + ".png"));
            EXPECT_GT(image.width(), normal.width()) << name.toStdString();
            if (!name.startsWith("main")) {
                EXPECT_GT(image.height(), normal.height()) << name.toStdString();
            }
        }
    }
    // No settings of the user were written by the pictures.
    EXPECT_FALSE(QDir(out.filePath("config")).exists("Brindlecap"));

    // The idle bar is flat (style 2): a grey top edge where framed cells are black.
    CreateWindow();
    const QImage idle(shots.filePath("main-idle.png"));
    ASSERT_EQ(idle.size(), window->grab().size());
    const CSkinProgress& bar = *window->ProgressBar();
    const QRect cells = bar.BarRect().translated(bar.mapTo(window.get(), QPoint()));
    EXPECT_EQ(idle.pixelColor(cells.center().x(), cells.top()), QColor(128, 128, 128));
    EXPECT_EQ(idle.pixelColor(cells.center().x(), cells.bottom()), QColor(Qt::white));
}
