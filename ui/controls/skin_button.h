#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <array>
#include <optional>

#include <QMenu>

// Picture slots of a skinned button, in the order SetBitmaps takes them.
enum SkinPicture : int {
    SKIN_NORMAL = 0,
    SKIN_PRESSED = 1,
    SKIN_DISABLED = 2,
    SKIN_FOCUSED = 3, // also shown while the mouse hovers
    SKIN_MASK = 4,
    SKIN_PICTURE_SLOTS = 5,
};

// The draw state the picture is chosen from.
struct SkinDrawState {
    bool pressed = false;
    bool focused = false;
    bool disabled = false;
    bool hovering = false;

    int ItemState() const { return (pressed ? 1 : 0) | (focused ? 2 : 0) | (disabled ? 4 : 0); }
};

// Which of the four pictures to show; `present` tells which slots are loaded.
int ChooseSkinPicture(const std::array<bool, SKIN_PICTURE_SLOTS>& present,
                      const SkinDrawState& state);

inline constexpr int SKIN_HOVER_INTERVAL_MS = 100;
inline constexpr int SKIN_CAPTION_LIMIT = 127;

// A push button drawn from pictures: one per state, a hover picture, the
// caption over the picture, and the parent's background behind it.
class CSkinButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CSkinButton(QWidget* parent = nullptr);
    CSkinButton(const QString& text, QWidget* parent);
    ~CSkinButton() override;

    // Where the caption goes relative to the picture, for buttons that show
    // both side by side: 0 right of it, 1 and 2 over the whole window, 3 below.
    enum CaptionPosition { CAPTION_DEFAULT = -1, CAPTION_RIGHT = 0, CAPTION_BELOW = 3 };

    // Loads the pictures (0 = slot empty); false when the normal picture is
    // missing. Takes the caption from the button text.
    bool SetBitmaps(int normal, int pressed, int disabled, int focused, int mask = 0,
                    bool wantAllKeys = false, bool fitToPicture = false);
    void SetCaption(const QString& text);
    // Pictures loaded after this are stretched by `scale` (the large-fonts skin).
    void SetPictureScale(double scale) { pictureScale = scale; }
    QString Caption() const { return caption; }

    void SetHoverColour(const QColor& colour) { hoverColour = colour; } // invalid = none
    void SetNormalColour(const QColor& colour) { normalColour = colour; }
    // Posts messageIds[slot] to `window` when the drawn state changes (0 = none).
    void SetNotify(QObject* window, const std::array<int, SKIN_PICTURE_SLOTS>& messageIds);
    void SetCaptionOffsets(int left, int top, int right, int bottom);
    void SetCaptionFormat(int alignment) { captionFormat = alignment; }
    void SetCaptionPosition(int position) { captionPosition = position; }
    void SetPressShift(int pixels) { pressShift = pixels; }
    void SetWordWrap(bool on) { wordWrap = on; }
    void SetDrawFrame(bool on) { drawFrame = on; }
    void SetCentring(bool horizontally, bool vertically);
    void SetTransparentMode(bool on) { transparentMode = on; }
    void SetHoverTracking(bool on) { hoverTracking = on; }
    void SetKeyboardPassThrough(bool on) { keyboardPassThrough = on; }
    void SetButtonCursor(const QCursor& cursor);
    // The menu opened by a right-click on the caption; its actions report to
    // whoever connected them.
    void SetContextMenu(QMenu* menu) { contextMenu = menu; }

    // The caption rectangle before the offsets.
    QRect CaptionRect() const { return captionRect; }
    int CurrentPicture() const;
    bool IsHovering() const { return hovering; }
    const QPixmap& Picture(int slot) const { return pictures[static_cast<size_t>(slot)]; }
    // Forgets the saved background, so the next draw captures it again.
    void ResetBackground() { savedBackground = QPixmap(); }

    QSize sizeHint() const override;

protected:
    virtual SkinDrawState DrawState() const;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void Init();
    void OnHoverTick();
    void NotifyIfStateChanged();
    void CaptureBackground();
    QPoint PicturePosition(bool pressed) const;
    void DrawCaption(QPainter& painter, const SkinDrawState& state) const;
    bool IsSwallowedKey(int key) const;

    std::array<QPixmap, SKIN_PICTURE_SLOTS> pictures;
    QImage hitMask;
    QString caption;
    QFont captionFont;
    QRect captionRect;
    int offsetLeft = 0;
    int offsetTop = 0;
    int offsetRight = 0;
    int offsetBottom = 0;
    int captionFormat;
    int captionPosition = CAPTION_DEFAULT;
    int pressShift = 0;
    double pictureScale = 1.0;
    bool wordWrap = false;
    QColor normalColour{0, 0, 0};
    QColor hoverColour{255, 255, 0};
    bool drawFrame = false;
    bool centreHorizontally = false;
    bool centreVertically = false;
    bool transparentMode = false;
    bool hoverTracking = true;
    bool keyboardPassThrough = false;
    bool wantAllKeys = false;
    bool hovering = false;
    QTimer hoverTimer;
    QPointer<QMenu> contextMenu;
    QPointer<QObject> notifyWindow;
    std::array<int, SKIN_PICTURE_SLOTS> notifyIds{};
    std::optional<int> lastItemState;
    QPixmap savedBackground;
};

// The main window's look: captioned buttons get the caption at the bottom of
// the picture (offsets left -6, bottom -8, centred, press shift 3, no hover
// colour); image-only buttons lose their text and centre the picture.
// Call before SetBitmaps.
void StyleMainWindowButton(CSkinButton& button, bool imageOnly);
