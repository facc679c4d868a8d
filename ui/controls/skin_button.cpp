#include "ui/controls/skin_button.h"

#include "app/messages.h"
#include "ui/controls/bitmaps.h"
#include "ui/controls/fonts.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace {

const QColor EMBOSS_HIGHLIGHT(255, 255, 255);
const QColor EMBOSS_GREY_TEXT(128, 128, 128);
constexpr int FOCUS_RECT_INSET = 4;

// Windows-style rectangle (right and bottom exclusive) to a QRect.
QRect FromEdges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

int ChooseSkinPicture(const std::array<bool, SKIN_PICTURE_SLOTS>& present,
                      const SkinDrawState& state) {
    int picture = SKIN_NORMAL;
    if (state.hovering && present[SKIN_FOCUSED]) {
        picture = SKIN_FOCUSED;
    }
    if (state.pressed && present[SKIN_PRESSED]) {
        picture = SKIN_PRESSED;
    } else if (state.focused && present[SKIN_FOCUSED]) {
        picture = SKIN_FOCUSED;
    } else if (state.disabled && present[SKIN_DISABLED]) {
        picture = SKIN_DISABLED;
    }
    return picture;
}

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) {
    Init();
}

CSkinButton::CSkinButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    Init();
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::Init() {
    captionFormat = Qt::AlignHCenter | Qt::AlignVCenter;
    captionFont = MakeDisplayFont(QStringLiteral("Tahoma"), 8, 400);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    hoverTimer.setInterval(SKIN_HOVER_INTERVAL_MS);
    connect(&hoverTimer, &QTimer::timeout, this, &CSkinButton::OnHoverTick);
    lastItemState = 0;
}

bool CSkinButton::SetBitmaps(int normal, int pressed, int disabled, int focused, int mask,
                             bool wantAll, bool fitToPicture) {
    const std::array<int, SKIN_PICTURE_SLOTS> ids = {normal, pressed, disabled, focused, mask};
    for (size_t slot = 0; slot < ids.size(); ++slot) {
        pictures[slot] = ids[slot] != 0 ? LoadResourceBitmap(ids[slot], this) : QPixmap();
        if (pictureScale != 1.0 && !pictures[slot].isNull()) {
            const QSize stretched(qRound(pictures[slot].width() * pictureScale),
                                  qRound(pictures[slot].height() * pictureScale));
            pictures[slot] =
                pictures[slot].scaled(stretched, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }
    hitMask = pictures[SKIN_MASK].isNull() ? QImage() : pictures[SKIN_MASK].toImage();
    if (pictures[SKIN_NORMAL].isNull()) {
        pictures = {};
        hitMask = QImage();
        return false;
    }
    const QSize pictureSize = pictures[SKIN_NORMAL].size();
    if (fitToPicture) {
        resize(pictureSize);
    }
    wantAllKeys = wantAll;
    caption = text().left(SKIN_CAPTION_LIMIT);

    switch (captionPosition) {
    case CAPTION_RIGHT:
        captionRect = FromEdges(pictureSize.width(), 0, width(), height());
        break;
    case 1:
    case 2:
        captionRect = rect();
        break;
    case CAPTION_BELOW:
        captionRect = FromEdges(0, pictureSize.height(), width(), height());
        break;
    default:
        captionRect = FromEdges((captionFormat & Qt::AlignHCenter) ? 5 : 0, 0, pictureSize.width(),
                                pictureSize.height() - 2);
        break;
    }
    updateGeometry();
    update();
    return true;
}

void CSkinButton::SetCaption(const QString& text) {
    setText(text);
    caption = text.left(SKIN_CAPTION_LIMIT);
    repaint();
}

void CSkinButton::SetNotify(QObject* window, const std::array<int, SKIN_PICTURE_SLOTS>& ids) {
    notifyWindow = window;
    notifyIds = ids;
}

void CSkinButton::SetCaptionOffsets(int left, int top, int right, int bottom) {
    offsetLeft = left;
    offsetTop = top;
    offsetRight = right;
    offsetBottom = bottom;
}

void CSkinButton::SetCentring(bool horizontally, bool vertically) {
    centreHorizontally = horizontally;
    centreVertically = vertically;
}

void CSkinButton::SetButtonCursor(const QCursor& cursor) {
    setCursor(cursor);
}

QSize CSkinButton::sizeHint() const {
    if (pictures[SKIN_NORMAL].isNull()) {
        return QSize(60, 50);
    }
    return pictures[SKIN_NORMAL].size();
}

SkinDrawState CSkinButton::DrawState() const {
    SkinDrawState state;
    state.pressed = isDown();
    state.focused = hasFocus();
    state.disabled = !isEnabled();
    state.hovering = hovering;
    return state;
}

int CSkinButton::CurrentPicture() const {
    std::array<bool, SKIN_PICTURE_SLOTS> present{};
    for (size_t slot = 0; slot < present.size(); ++slot) {
        present[slot] = !pictures[slot].isNull();
    }
    return ChooseSkinPicture(present, DrawState());
}

void CSkinButton::NotifyIfStateChanged() {
    const int itemState = DrawState().ItemState();
    if (lastItemState == itemState) {
        return;
    }
    lastItemState = itemState;
    if (notifyWindow.isNull()) {
        return;
    }
    const int picture = CurrentPicture();
    const int message = notifyIds[static_cast<size_t>(picture)];
    if (message != 0) {
        PostEvent<PlainEvent>(
            notifyWindow.data(), message, picture,
            static_cast<qintptr>(pictures[static_cast<size_t>(picture)].cacheKey()));
    }
}

void CSkinButton::CaptureBackground() {
    const qreal ratio = devicePixelRatioF();
    savedBackground = QPixmap(size() * ratio);
    savedBackground.setDevicePixelRatio(ratio);
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        savedBackground.fill(palette().color(QPalette::Window));
        return;
    }
    savedBackground.fill(parent->palette().color(QPalette::Window));
    // Only the parent itself: its background and its own painting, no siblings.
    parent->render(&savedBackground, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
}

QPoint CSkinButton::PicturePosition(bool pressedWithoutCaption) const {
    const QSize pictureSize = pictures[SKIN_NORMAL].size();
    QPoint position(0, 0);
    const int nudge = pressedWithoutCaption ? 1 : 0;
    if (centreHorizontally) {
        position.setX((width() - pictureSize.width()) / 2 + nudge);
    }
    if (centreVertically) {
        position.setY((height() - pictureSize.height()) / 2 + nudge);
    }
    return position;
}

void CSkinButton::DrawCaption(QPainter& painter, const SkinDrawState& state) const {
    if (caption.isEmpty()) {
        return;
    }
    const QRect area = FromEdges(captionRect.left() + offsetLeft, captionRect.top() + offsetTop,
                                 captionRect.left() + captionRect.width() + offsetRight,
                                 captionRect.top() + captionRect.height() + offsetBottom);
    const int flags =
        captionFormat | Qt::TextShowMnemonic | (wordWrap ? Qt::TextWordWrap : Qt::TextSingleLine);
    painter.setFont(captionFont);
    if (state.disabled) {
        painter.setPen(EMBOSS_HIGHLIGHT);
        painter.drawText(area.translated(1, 1), flags, caption);
        painter.setPen(EMBOSS_GREY_TEXT);
        painter.drawText(area, flags, caption);
        return;
    }
    const int shift = state.pressed ? pressShift : 0;
    const QRect shifted = area.translated(shift, shift);
    if (state.focused || state.hovering) {
        if (hoverColour.isValid()) {
            painter.setPen(Qt::black);
            painter.drawText(shifted.translated(1, 1), flags, caption);
        }
        painter.setPen(hoverColour.isValid() ? hoverColour : QColor(Qt::black));
        painter.drawText(shifted, flags, caption);
        return;
    }
    painter.setPen(normalColour);
    painter.drawText(shifted, flags, caption);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    NotifyIfStateChanged();
    if (savedBackground.isNull()) {
        CaptureBackground();
    }
    const SkinDrawState state = DrawState();
    const qreal ratio = devicePixelRatioF();
    QPixmap canvas(size() * ratio);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.drawPixmap(0, 0, savedBackground);
        if (drawFrame) {
            const bool sunken = state.pressed;
            QBrush face = palette().button();
            qDrawWinButton(&painter, rect(), palette(), sunken, &face);
            if (state.pressed || state.focused) {
                painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
                painter.drawRect(rect().adjusted(FOCUS_RECT_INSET, FOCUS_RECT_INSET,
                                                 -FOCUS_RECT_INSET - 1, -FOCUS_RECT_INSET - 1));
            }
        }
        const QPixmap& picture = pictures[static_cast<size_t>(CurrentPicture())];
        if (!picture.isNull()) {
            const QPoint position = PicturePosition(state.pressed && caption.isEmpty());
            if (!hitMask.isNull()) {
                DrawWithMask(painter, picture, hitMask, savedBackground, position);
            } else if (transparentMode) {
                DrawTransparentColour(painter, picture, position.x(), position.y());
            } else {
                painter.drawPixmap(position, picture);
            }
        }
        DrawCaption(painter, state);
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, canvas);
}

bool CSkinButton::hitButton(const QPoint& pos) const {
    if (!rect().contains(pos)) {
        return false;
    }
    if (hitMask.isNull()) {
        return true;
    }
    return MaskIsBlackAt(hitMask, pos - PicturePosition(false));
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    NotifyIfStateChanged();
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && contextMenu &&
        captionRect.contains(event->position().toPoint())) {
        contextMenu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
    NotifyIfStateChanged();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    if (hoverTracking && !hovering) {
        hoverTimer.start();
        hovering = true;
        update();
    }
    QAbstractButton::mouseMoveEvent(event);
    NotifyIfStateChanged();
}

void CSkinButton::OnHoverTick() {
    const QRect onScreen(mapToGlobal(QPoint(0, 0)), size());
    if (!onScreen.contains(QCursor::pos())) {
        hoverTimer.stop();
        hovering = false;
        update();
    }
}

bool CSkinButton::IsSwallowedKey(int key) const {
    return !keyboardPassThrough &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    if (IsSwallowedKey(event->key())) {
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
    NotifyIfStateChanged();
}

void CSkinButton::keyReleaseEvent(QKeyEvent* event) {
    if (IsSwallowedKey(event->key())) {
        event->accept();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
    NotifyIfStateChanged();
}

bool CSkinButton::event(QEvent* event) {
    if (wantAllKeys && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            // The button keeps Tab: no focus move here or in the parent.
            keyPressEvent(key);
            key->accept();
            return true;
        }
    }
    const bool handled = QAbstractButton::event(event);
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::EnabledChange:
        NotifyIfStateChanged();
        break;
    default:
        break;
    }
    return handled;
}

void StyleMainWindowButton(CSkinButton& button, bool imageOnly) {
    if (imageOnly) {
        button.setText(QString());
        button.SetCentring(true, true);
        return;
    }
    button.SetCaptionOffsets(-6, 0, 0, -8);
    button.SetCaptionFormat(Qt::AlignHCenter | Qt::AlignBottom);
    button.SetPressShift(3);
    button.SetHoverColour(QColor());
}
