#include "ui/controls/caption_painter.h"

#include "app/messages.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A main window that answers the caption paint message and counts requests.
class CaptionWindow : public QWidget {
public:
    CaptionWindow() { setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint); }
    int activePaints = 0;
    int inactivePaints = 0;
    int releases = 0;
    CaptionPaintHandler handler;

protected:
    bool event(QEvent* event) override {
        if (event->type() == static_cast<QEvent::Type>(MSG_PAINT_CAPTION)) {
            auto* request = static_cast<CaptionPaintEvent*>(event);
            if (!request->Record()) {
                ++releases;
            } else if (request->Active()) {
                ++activePaints;
            } else {
                ++inactivePaints;
            }
            return handler.HandleEvent(event, MSG_PAINT_CAPTION);
        }
        return QWidget::event(event);
    }
};

void PaintOnce(CCaptionPainter& painter, QWidget& window) {
    QImage target(window.size(), QImage::Format_RGB32);
    QPainter p(&target);
    painter.PaintCaption(p);
}

void Send(QWidget& window, QEvent::Type type) {
    QEvent event(type);
    QCoreApplication::sendEvent(&window, &event);
}

} // namespace

TEST(CaptionFadeTest, FadesFromBlackToTheCaptionColour) {
    // However narrow the caption, the strips are at least a pixel wide.
    for (int width : {0, 30, 76}) {
        EXPECT_GE(FadeLayout(width).step, 1) << width;
    }
    QImage image(600, 4, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        PaintCaptionFade(painter, 600, 4, QColor(200, 100, 50));
    }
    // The last sixth is the full colour; left of it the strips darken to black.
    for (int x = 500; x < 600; ++x) {
        ASSERT_EQ(image.pixelColor(x, 2), QColor(200, 100, 50)) << x;
    }
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    int previous = -1;
    for (int x = 0; x < 600; ++x) {
        const int red = image.pixelColor(x, 1).red();
        ASSERT_GE(red, previous) << x;
        previous = red;
    }
}

TEST(CaptionPainterTest, BitmapsAreCachedPerStateAndRemadeAndTheButtonsActOnTheWindow) {
    CaptionWindow window;
    CCaptionPainter painter;
    painter.Install(&window, MSG_PAINT_CAPTION);
    window.resize(400, 300);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_GT(window.contentsMargins().top(), CCaptionPainter::GetCaptionRect(&window).bottom());

    PaintOnce(painter, window);
    PaintOnce(painter, window);
    EXPECT_EQ(std::pair(window.activePaints, window.inactivePaints), std::pair(0, 1));

    Send(window, QEvent::WindowActivate);
    EXPECT_TRUE(painter.IsActive());
    PaintOnce(painter, window);
    Send(window, QEvent::WindowDeactivate);
    PaintOnce(painter, window);
    Send(window, QEvent::WindowActivate);
    PaintOnce(painter, window);
    EXPECT_EQ(std::pair(window.activePaints, window.inactivePaints), std::pair(1, 1));

    window.resize(500, 300);
    PaintOnce(painter, window);
    EXPECT_EQ(window.activePaints, 2);
    EXPECT_EQ(painter.CachedSize().width(), CCaptionPainter::GetCaptionRect(&window).width());
    EXPECT_FALSE(painter.HasCachedBitmap(false));

    window.setWindowTitle(QStringLiteral("new title"));
    EXPECT_FALSE(painter.HasCachedBitmap(true));
    PaintOnce(painter, window);
    EXPECT_EQ(window.activePaints, 3);

    // A style or palette change asks the owner to release its fonts.
    EXPECT_TRUE(window.handler.HasFonts());
    window.setPalette(QPalette(Qt::darkGreen));
    EXPECT_GE(window.releases, 1);
    EXPECT_FALSE(window.handler.HasFonts());

    // Forced active ignores deactivation; a disabled window is never active.
    painter.SetForceActive(true);
    Send(window, QEvent::WindowDeactivate);
    EXPECT_TRUE(painter.IsActive());
    painter.SetForceActive(false);
    window.setEnabled(false);
    Send(window, QEvent::WindowActivate);
    EXPECT_FALSE(painter.IsActive());

    // The caption's buttons act on the window.
    window.setEnabled(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect caption = CCaptionPainter::GetCaptionRect(&window);
    auto centreOf = [&](CaptionButton which) {
        for (const CaptionButtonRect& entry : CaptionButtonRects(&window, caption.width())) {
            if (entry.button == which) {
                return entry.rect.translated(caption.topLeft()).center();
            }
        }
        return QPoint(-1, -1);
    };

    QTest::mouseClick(&window, Qt::LeftButton, {}, centreOf(CaptionButton::Maximise));
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    QTest::mouseClick(&window, Qt::LeftButton, {}, centreOf(CaptionButton::Restore));
    EXPECT_FALSE(window.windowState() & Qt::WindowMaximized);

    // Pressing on a button and releasing elsewhere does nothing.
    QTest::mousePress(&window, Qt::LeftButton, {}, centreOf(CaptionButton::Close));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_TRUE(window.isVisible());

    QTest::mouseClick(&window, Qt::LeftButton, {}, centreOf(CaptionButton::Close));
    EXPECT_FALSE(window.isVisible());
}

TEST(CaptionPainterTest, PaintedCaptionShowsFadeTitleAndButtons) {
    CaptionWindow window;
    window.resize(600, 200);
    CaptionPaintHandler handler;
    const QRect caption = CCaptionPainter::GetCaptionRect(&window);
    QImage image(caption.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        const CaptionPaintRecord record{image.width(), image.height(), &painter, &window};
        handler.Paint(true, record);
    }
    const QVector<CaptionButtonRect> buttons = CaptionButtonRects(&window, image.width());
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(
        (std::vector{buttons[0].button, buttons[1].button, buttons[2].button}),
        (std::vector{CaptionButton::Close, CaptionButton::Maximise, CaptionButton::Minimise}));
    EXPECT_LT(buttons[0].rect.right(), image.width());
    EXPECT_LT(buttons[1].rect.right(), buttons[0].rect.left());

    // White title text lies between the icon and the buttons.
    int white = 0;
    for (int x = 0; x < buttons.last().rect.left(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            white += image.pixelColor(x, y) == QColor(Qt::white);
        }
    }
    EXPECT_GT(white, 10);
    EXPECT_EQ(image.pixelColor(0, image.height() - 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(buttons.last().rect.left() - 1, image.height() - 1),
              window.palette().color(QPalette::Active, QPalette::Highlight));
}
