#include "window_fixture.h"

#include "ui/controls/skin_progress.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using uitest::WindowTest;

TEST_F(WindowTest, ScreenshotsOfTheWindowAndItsDialogsAreImages) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", out.filePath("home"));
    environment.insert("XDG_CONFIG_HOME", out.filePath("config"));
    program.setProcessEnvironment(environment);
    program.start(CORVANE_ENCODER, {"--screenshot", out.filePath("shots")});
    ASSERT_TRUE(program.waitForFinished(180000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const QDir shots(out.filePath("shots"));
    for (const char* name :
         {"main-idle.png", "main-encoding.png", "main-idle-120dpi.png", "main-encoding-120dpi.png",
          "options.png", "id3.png", "network.png", "columns.png"}) {
        const QImage image(shots.filePath(name));
        EXPECT_FALSE(image.isNull()) << name;
        EXPECT_GT(image.width(), 100) << name;
        EXPECT_GT(image.height(), 100) << name;
    }
    const QImage small(shots.filePath("main-idle.png"));
    const QImage large(shots.filePath("main-idle-120dpi.png"));
    EXPECT_GT(large.width(), small.width()) << "the large-fonts layout is stretched";
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
