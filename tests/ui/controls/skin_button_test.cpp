#include "app/messages.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_ids.h"

#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace {

const SkinButtonSet& ButtonSet(int base) {
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        if (set.base == base) {
            return set;
        }
    }
    return MAIN_WINDOW_BUTTONS[0];
}

bool LoadSet(CSkinButton& button, int base, int mask = 0) {
    const SkinButtonSet& set = ButtonSet(base);
    return button.SetBitmaps(set.Normal(), set.Pressed(), set.Disabled(), set.Focused(), mask,
                             false, true);
}

// A button with the pictures of `base` in `window`, shown.
CSkinButton* ShowButton(QWidget& window, const QString& caption, int base, int mask = 0) {
    auto* button = new CSkinButton(caption, &window);
    EXPECT_TRUE(LoadSet(*button, base, mask));
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    return button;
}

// Records the notification messages a button posts.
class Recorder : public QObject {
public:
    std::vector<int> messages;
    std::vector<qintptr> pictures;

protected:
    bool event(QEvent* event) override {
        if (event->type() >= QEvent::User) {
            messages.push_back(static_cast<int>(event->type()));
            pictures.push_back(static_cast<PlainEvent*>(event)->WParam());
            return true;
        }
        return QObject::event(event);
    }
};

// A parent that paints itself red, to see what the button keeps of it.
class RedParent : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
};

} // namespace

TEST(SkinPictureChoice, StatesPickTheirPictureWhenItExists) {
    const std::array<bool, SKIN_PICTURE_SLOTS> all = {true, true, true, true, false};
    const std::array<bool, SKIN_PICTURE_SLOTS> normalOnly = {true, false, false, false, false};
    const std::array<bool, SKIN_PICTURE_SLOTS> noFocused = {true, true, true, false, false};
    // Each state is {pressed, focused, disabled, hovering}.
    EXPECT_EQ(ChooseSkinPicture(all, {false, false, false, false}), SKIN_NORMAL);
    EXPECT_EQ(ChooseSkinPicture(all, {true, true, false, false}), SKIN_PRESSED);
    EXPECT_EQ(ChooseSkinPicture(all, {false, true, false, false}), SKIN_FOCUSED);
    EXPECT_EQ(ChooseSkinPicture(all, {false, false, true, false}), SKIN_DISABLED);
    EXPECT_EQ(ChooseSkinPicture(all, {false, false, false, true}), SKIN_FOCUSED);
    EXPECT_EQ(ChooseSkinPicture(all, {true, false, false, true}), SKIN_PRESSED);
    EXPECT_EQ(ChooseSkinPicture(all, {false, false, true, true}), SKIN_DISABLED);
    // Missing pictures fall back: pressed without its picture but focused shows focused.
    const std::array<bool, SKIN_PICTURE_SLOTS> noPressed = {true, false, true, true, false};
    EXPECT_EQ(ChooseSkinPicture(noPressed, {true, true, false, false}), SKIN_FOCUSED);
    EXPECT_EQ(ChooseSkinPicture(noFocused, {false, false, false, true}), SKIN_NORMAL);
    EXPECT_EQ(ChooseSkinPicture(noFocused, {false, true, false, false}), SKIN_NORMAL);
    for (int flags = 0; flags < 16; ++flags) {
        const SkinDrawState any{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0,
                                (flags & 8) != 0};
        EXPECT_EQ(ChooseSkinPicture(normalOnly, any), SKIN_NORMAL) << flags;
    }
}

TEST(SkinButtonSetup, PicturesCaptionAndCaptionRectangle) {
    CSkinButton missing(QStringLiteral("&Quit"), nullptr);
    EXPECT_FALSE(missing.SetBitmaps(0, 218, 217, 219));
    EXPECT_FALSE(missing.SetBitmaps(9999, 218, 217, 219));
    EXPECT_TRUE(missing.Picture(SKIN_PRESSED).isNull());

    CSkinButton button(QString(200, QLatin1Char('x')), nullptr);
    StyleMainWindowButton(button, false);
    ASSERT_TRUE(LoadSet(button, 217));
    const QSize picture = button.Picture(SKIN_NORMAL).size();
    EXPECT_EQ(button.size(), picture);
    EXPECT_EQ(button.Caption().size(), SKIN_CAPTION_LIMIT);
    // Centred captions start 5 pixels in and leave 2 at the bottom.
    EXPECT_EQ(button.CaptionRect(), QRect(5, 0, picture.width() - 5, picture.height() - 2));

    CSkinButton left(QStringLiteral("Left"), nullptr);
    left.SetCaptionFormat(Qt::AlignLeft | Qt::AlignVCenter);
    ASSERT_TRUE(LoadSet(left, 217));
    EXPECT_EQ(left.CaptionRect().left(), 0);

    // Image-only buttons lose their text.
    CSkinButton up(QStringLiteral("Up"), nullptr);
    StyleMainWindowButton(up, true);
    ASSERT_TRUE(LoadSet(up, 229));
    EXPECT_TRUE(up.Caption().isEmpty());

    button.SetCaption(QStringLiteral("&Resume"));
    EXPECT_EQ(button.Caption(), QStringLiteral("&Resume"));
    EXPECT_EQ(button.text(), QStringLiteral("&Resume"));
}

// Hovering ends when the pointer has left, even when no event reaches the button.
TEST(SkinButtonBehaviour, HoverMouseFocusAndEnableChooseThePicture) {
    QWidget window;
    window.resize(200, 120);
    auto* other = new CSkinButton(QStringLiteral("Other"), &window);
    ASSERT_TRUE(LoadSet(*other, 209));
    other->move(100, 0);
    CSkinButton* button = ShowButton(window, QStringLiteral("&Quit"), 217);
    other->setFocus();
    EXPECT_EQ(button->CurrentPicture(), SKIN_NORMAL);

    QCursor::setPos(button->mapToGlobal(QPoint(5, 5)));
    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_TRUE(button->IsHovering());
    EXPECT_EQ(button->CurrentPicture(), SKIN_FOCUSED);
    QTest::qWait(3 * SKIN_HOVER_INTERVAL_MS);
    EXPECT_TRUE(button->IsHovering());

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->CurrentPicture(), SKIN_PRESSED);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->CurrentPicture(), SKIN_FOCUSED);

    other->setFocus();
    QCursor::setPos(window.mapToGlobal(QPoint(190, 110)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->IsHovering(); }, 10000));
    EXPECT_EQ(button->CurrentPicture(), SKIN_NORMAL);
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentPicture(), SKIN_DISABLED);

    other->SetHoverTracking(false);
    QTest::mouseMove(other, QPoint(6, 6));
    EXPECT_FALSE(other->IsHovering());
}

TEST(SkinButtonBehaviour, UpButtonPostsPressedAndReleased) {
    QWidget window;
    window.resize(100, 60);
    auto* up = new CSkinButton(QStringLiteral("Up"), &window);
    StyleMainWindowButton(*up, true);
    ASSERT_TRUE(LoadSet(*up, 229));
    Recorder owner;
    up->SetNotify(&owner, {MSG_UP_RELEASED, MSG_UP_PRESSED, 0, MSG_UP_RELEASED, 0});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    // Taking the focus at show time counts as released; nothing else.
    for (int message : owner.messages) {
        EXPECT_EQ(message, MSG_UP_RELEASED);
    }
    owner.messages.clear();

    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    ASSERT_EQ(owner.messages, std::vector<int>({MSG_UP_PRESSED}));
    EXPECT_EQ(owner.pictures.back(), SKIN_PRESSED);
    // Repainting in the same state posts nothing more.
    up->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.messages.size(), 1u);

    QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.messages, std::vector<int>({MSG_UP_PRESSED, MSG_UP_RELEASED}));
    EXPECT_EQ(owner.pictures.back(), SKIN_FOCUSED);
}

TEST(SkinButtonBehaviour, HitMaskIgnoresPressesOffTheBlackArea) {
    // The hand cursor picture as a mask: its white palm is "not black", its
    // transparent surroundings are black.
    QWidget window;
    CSkinButton* button = ShowButton(window, QStringLiteral("Masked"), 209, SKIN_HAND_CURSOR);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(15, 20));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(2, 30));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(SkinButtonDrawing, KeepsTheParentBehindItsRoundedCorners) {
    RedParent parent;
    parent.resize(120, 80);
    CSkinButton* button = ShowButton(parent, QStringLiteral("&Quit"), 217);
    button->move(10, 10);
    const QImage shot = button->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(shot.width() / 2, 2), QColor(Qt::red));

    // Disabled captions are embossed: grey text with a white shadow.
    button->setEnabled(false);
    const QImage disabled = button->grab().toImage();
    QSet<QRgb> lowerHalf;
    for (int y = disabled.height() / 2; y < disabled.height(); ++y) {
        for (int x = 0; x < disabled.width(); ++x) {
            lowerHalf.insert(disabled.pixelColor(x, y).rgba());
        }
    }
    EXPECT_TRUE(lowerHalf.contains(QColor(128, 128, 128).rgba())) << "grey text";
    EXPECT_TRUE(lowerHalf.contains(QColor(255, 255, 255).rgba())) << "white shadow";
}

TEST(SkinButtonBehaviour, KeysAndTheCaptionsContextMenu) {
    QWidget window;
    CSkinButton* button = ShowButton(window, QStringLiteral("&Options"), 209);
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    button->SetContextMenu(&menu);
    const QRect caption = button->CaptionRect();
    QTest::mouseClick(button, Qt::RightButton, {}, caption.center());
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    // Outside the caption rectangle (its left strip) nothing opens.
    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(1, caption.center().y()));
    EXPECT_FALSE(menu.isVisible());

    // Space and Enter are swallowed unless passed through.
    button->setFocus();
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 0);
    button->SetKeyboardPassThrough(true);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
    button->SetKeyboardPassThrough(false);

    // Tab moves the focus on, unless the button wants all keys.
    auto* next = new CSkinButton(QStringLiteral("Next"), &window);
    ASSERT_TRUE(LoadSet(*next, 213));
    next->move(80, 0);
    next->show();
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
    ASSERT_TRUE(button->SetBitmaps(212, 210, 209, 211, 0, true));
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Tab);
    EXPECT_TRUE(button->hasFocus());
}
