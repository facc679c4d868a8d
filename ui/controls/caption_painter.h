#pragma once

#include "ui/controls/subclass_wnd.h"

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QVector>
#include <optional>

class QPainter;

// What the owner paints into when asked for a caption bitmap.
struct CaptionPaintRecord {
    int width = 0;
    int height = 0;
    QPainter* painter = nullptr;
    QWidget* window = nullptr;
};

// The paint request sent (synchronously) to the owner window. A null record
// asks the owner to release whatever it caches for captions.
class CaptionPaintEvent : public QEvent {
public:
    CaptionPaintEvent(int type, bool active, const CaptionPaintRecord* record)
        : QEvent(static_cast<QEvent::Type>(type)), active(active), record(record) {}
    bool Active() const { return active; }
    const CaptionPaintRecord* Record() const { return record; }

private:
    bool active;
    const CaptionPaintRecord* record;
};

// Sizes of the painted frame and caption, from the current style.
struct CaptionMetrics {
    int sizingFrame = 4; // resizable windows
    int dialogFrame = 3; // fixed-size windows
    int captionHeight = 20;
    int buttonWidth = 18;
    int buttonHeight = 18;
};
CaptionMetrics GetCaptionMetrics(const QWidget* window);

enum class CaptionButton { Close, Maximise, Restore, Help, Minimise };
struct CaptionButtonRect {
    CaptionButton button;
    QRect rect; // caption coordinates
};
// The caption buttons of `window` in a caption `width` wide, right to left.
QVector<CaptionButtonRect> CaptionButtonRects(const QWidget* window, int width);

// The fade of an active caption: full colour from x0 to the right edge,
// darkening in strips `step` wide towards black on the left.
struct CaptionFade {
    int x0 = 0;
    int step = 1;
};
CaptionFade FadeLayout(int width);
void PaintCaptionFade(QPainter& painter, int width, int height, QColor colour);

// Paints the window's own caption on a frameless top-level window: a cached
// bitmap for the active and one for the inactive state, each made on demand by
// the owner (through the paint message), and the caption's buttons, moving and
// resizing.
class CCaptionPainter : public CSubclassWnd {
public:
    // Hooks `window`, makes it frameless and reserves room for the caption
    // and the frame in its contents margins.
    void Install(QWidget* window, int paintMessage);

    void PaintCaption(QPainter& painter);
    static QRect GetCaptionRect(const QWidget* window);
    // Returns the caption-button width.
    static int DrawIcon(const CaptionPaintRecord& record);
    // Returns the x at which the buttons start.
    static int DrawButtons(const CaptionPaintRecord& record);

    void SetForceActive(bool force) { forceActive = force; }
    bool IsActive() const { return active; }
    bool HasCachedBitmap(bool activeState) const { return !bitmaps[activeState ? 1 : 0].isNull(); }
    QSize CachedSize() const { return cachedSize; }

protected:
    bool WindowProc(QEvent* event) override;

private:
    void SetActive(bool newState);
    void ResetCache();
    bool HandleMouse(QEvent* event);
    Qt::Edges EdgesAt(QPoint pos) const;
    bool Resizable() const;
    void RunButton(CaptionButton button);

    QPixmap bitmaps[2]; // 0 inactive, 1 active
    QSize cachedSize;
    bool active = false;
    bool forceActive = false;
    int paintMessage = 0;
    std::optional<CaptionButton> pressedButton;
};

// The owner's side of the paint message: the fade (or the inactive fill), the
// icon, the buttons and the program's title in bold white.
class CaptionPaintHandler {
public:
    // Handles a CaptionPaintEvent of type `paintMessage`; false for any other event.
    bool HandleEvent(QEvent* event, int paintMessage);
    void Paint(bool active, const CaptionPaintRecord& record);
    bool HasFonts() const { return titleFont.has_value(); }

private:
    std::optional<QFont> captionFont;
    std::optional<QFont> titleFont;
};
