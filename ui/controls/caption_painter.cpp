#include "ui/controls/caption_painter.h"

#include "app/strings.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWhatsThis>
#include <QWindow>
#include <algorithm>
#include <qdrawutil.h>

CaptionMetrics GetCaptionMetrics(const QWidget* window) {
    const QStyle* style = window ? window->style() : QApplication::style();
    CaptionMetrics metrics;
    metrics.captionHeight =
        std::max(18, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    metrics.buttonWidth = metrics.captionHeight - 1;
    metrics.buttonHeight = metrics.captionHeight - 1;
    return metrics;
}

QVector<CaptionButtonRect> CaptionButtonRects(const QWidget* window, int width) {
    QVector<CaptionButtonRect> rects;
    const CaptionMetrics metrics = GetCaptionMetrics(window);
    const Qt::WindowFlags flags = window->windowFlags();
    const int w = metrics.buttonWidth - 2;
    const int top = 2;
    const int h = std::max(1, metrics.buttonHeight - 4);
    int x = width - 2;
    auto add = [&](CaptionButton button) {
        x -= w;
        rects.push_back({button, QRect(x, top, w, h)});
    };
    add(CaptionButton::Close);
    x -= 2;
    if (flags & Qt::WindowMaximizeButtonHint) {
        add(window->isMaximized() ? CaptionButton::Restore : CaptionButton::Maximise);
    } else if (flags & Qt::WindowContextHelpButtonHint) {
        add(CaptionButton::Help);
    }
    if (flags & Qt::WindowMinimizeButtonHint) {
        add(CaptionButton::Minimise);
    }
    return rects;
}

CaptionFade FadeLayout(int width) {
    CaptionFade fade;
    fade.x0 = width * 5 / 6;
    fade.step = std::max(1, fade.x0 / 64);
    return fade;
}

void PaintCaptionFade(QPainter& painter, int width, int height, QColor colour) {
    const CaptionFade fade = FadeLayout(width);
    painter.fillRect(QRect(fade.x0, 0, width - fade.x0, height), colour);
    if (fade.x0 <= 0) {
        return;
    }
    const qint64 x0Squared = qint64(fade.x0) * fade.x0;
    auto darken = [&](int channel, qint64 j) { return int(channel - channel * j * j / x0Squared); };
    int x = fade.x0;
    int j = 0;
    while (x > fade.step) {
        j += fade.step;
        x -= fade.step;
        const QColor strip(darken(colour.red(), j), darken(colour.green(), j),
                           darken(colour.blue(), j));
        painter.fillRect(QRect(x, 0, fade.step, height), strip);
    }
    painter.fillRect(QRect(0, 0, x, height), Qt::black);
}

void CCaptionPainter::Install(QWidget* target, int message) {
    paintMessage = message;
    HookWindow(target);
    if (!target) {
        return;
    }
    if (!(target->windowFlags() & Qt::FramelessWindowHint)) {
        target->setWindowFlags(target->windowFlags() | Qt::FramelessWindowHint);
    }
    target->setMouseTracking(true);
    const CaptionMetrics metrics = GetCaptionMetrics(target);
    const int frame = Resizable() ? metrics.sizingFrame : metrics.dialogFrame;
    target->setContentsMargins(frame, frame + metrics.captionHeight, frame, frame);
    active = forceActive || (target->isActiveWindow() && target->isEnabled());
}

QRect CCaptionPainter::GetCaptionRect(const QWidget* window) {
    const CaptionMetrics metrics = GetCaptionMetrics(window);
    const bool thick = window->minimumSize() != window->maximumSize();
    const int frame = thick ? metrics.sizingFrame : metrics.dialogFrame;
    return QRect(frame, frame, std::max(0, window->width() - 2 * frame),
                 std::max(0, metrics.captionHeight - 1));
}

int CCaptionPainter::DrawIcon(const CaptionPaintRecord& record) {
    const CaptionMetrics metrics = GetCaptionMetrics(record.window);
    QIcon icon = record.window->windowIcon();
    if (icon.isNull()) {
        icon = QApplication::windowIcon();
    }
    const QRect rect(2, 1, metrics.buttonWidth - 2, metrics.buttonHeight - 2);
    if (!icon.isNull() && record.painter) {
        icon.paint(record.painter, rect);
    }
    return metrics.buttonWidth;
}

int CCaptionPainter::DrawButtons(const CaptionPaintRecord& record) {
    const QVector<CaptionButtonRect> rects = CaptionButtonRects(record.window, record.width);
    if (rects.isEmpty()) {
        return record.width;
    }
    QStyle* style = record.window->style();
    for (const CaptionButtonRect& entry : rects) {
        QStyleOptionButton option;
        option.initFrom(record.window);
        option.rect = entry.rect;
        option.state = QStyle::State_Enabled | QStyle::State_Raised;
        style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, record.painter, record.window);
        QStyle::StandardPixmap which = QStyle::SP_TitleBarCloseButton;
        switch (entry.button) {
        case CaptionButton::Close:
            which = QStyle::SP_TitleBarCloseButton;
            break;
        case CaptionButton::Maximise:
            which = QStyle::SP_TitleBarMaxButton;
            break;
        case CaptionButton::Restore:
            which = QStyle::SP_TitleBarNormalButton;
            break;
        case CaptionButton::Help:
            which = QStyle::SP_TitleBarContextHelpButton;
            break;
        case CaptionButton::Minimise:
            which = QStyle::SP_TitleBarMinButton;
            break;
        }
        const int side = std::min(entry.rect.width(), entry.rect.height()) - 2;
        const QRect glyph(QPoint(0, 0), QSize(side, side));
        style->standardIcon(which, nullptr, record.window)
            .paint(record.painter, QRect(entry.rect.center() - glyph.center(), glyph.size()));
    }
    return rects.last().rect.left();
}

bool CCaptionPainter::Resizable() const {
    const QWidget* target = HookedWindow();
    return target && target->minimumSize() != target->maximumSize();
}

void CCaptionPainter::ResetCache() {
    cachedSize = QSize();
    bitmaps[0] = QPixmap();
    bitmaps[1] = QPixmap();
}

void CCaptionPainter::SetActive(bool newState) {
    QWidget* target = HookedWindow();
    if (forceActive) {
        newState = true;
    }
    if (target && !target->isEnabled()) {
        newState = false;
    }
    if (newState == active) {
        return;
    }
    active = newState;
    if (target) {
        target->update(GetCaptionRect(target));
    }
}

void CCaptionPainter::PaintCaption(QPainter& painter) {
    QWidget* target = HookedWindow();
    if (!target || target->isMinimized()) {
        return;
    }
    const QRect rect = GetCaptionRect(target);
    if (rect.isEmpty()) {
        return;
    }
    if (rect.size() != cachedSize) {
        ResetCache();
        cachedSize = rect.size();
    }
    QPixmap& bitmap = bitmaps[active ? 1 : 0];
    if (bitmap.isNull()) {
        bitmap = QPixmap(rect.size());
        bitmap.fill(target->palette().color(QPalette::Window));
        QPainter bitmapPainter(&bitmap);
        const CaptionPaintRecord record{rect.width(), rect.height(), &bitmapPainter, target};
        CaptionPaintEvent request(paintMessage, active, &record);
        QCoreApplication::sendEvent(target, &request);
    }
    painter.drawPixmap(rect.topLeft(), bitmap);
}

bool CCaptionPainter::WindowProc(QEvent* event) {
    QWidget* target = HookedWindow();
    switch (event->type()) {
    case QEvent::Paint: {
        const bool result = Default();
        const QRect dirty = static_cast<QPaintEvent*>(event)->rect();
        const QRect caption = GetCaptionRect(target);
        const QRect client = target->contentsRect();
        if (!client.contains(dirty)) {
            // No window manager draws the frame of a frameless window.
            QPainter painter(target);
            qDrawWinPanel(&painter, target->rect(), target->palette(), false);
            if (dirty.intersects(caption)) {
                PaintCaption(painter);
            }
        }
        return result;
    }
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
        const bool result = Default();
        SetActive(event->type() == QEvent::WindowActivate);
        return result;
    }
    case QEvent::EnabledChange: {
        const bool result = Default();
        SetActive(target->isActiveWindow());
        return result;
    }
    case QEvent::WindowTitleChange: {
        const bool result = Default();
        ResetCache();
        target->update(GetCaptionRect(target));
        return result;
    }
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::ThemeChange: {
        const bool result = Default();
        ResetCache();
        CaptionPaintEvent release(paintMessage, false, nullptr);
        QCoreApplication::sendEvent(target, &release);
        target->update(GetCaptionRect(target));
        return result;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (HandleMouse(event)) {
            return true;
        }
        return Default();
    default:
        return Default();
    }
}

Qt::Edges CCaptionPainter::EdgesAt(QPoint pos) const {
    const QWidget* target = HookedWindow();
    Qt::Edges edges;
    if (!Resizable() || target->isMaximized()) {
        return edges;
    }
    const int frame = GetCaptionMetrics(target).sizingFrame;
    if (pos.x() < frame) {
        edges |= Qt::LeftEdge;
    }
    if (pos.x() >= target->width() - frame) {
        edges |= Qt::RightEdge;
    }
    if (pos.y() < frame) {
        edges |= Qt::TopEdge;
    }
    if (pos.y() >= target->height() - frame) {
        edges |= Qt::BottomEdge;
    }
    return edges;
}

void CCaptionPainter::RunButton(CaptionButton button) {
    QWidget* target = HookedWindow();
    switch (button) {
    case CaptionButton::Close:
        target->close();
        break;
    case CaptionButton::Maximise:
        target->showMaximized();
        break;
    case CaptionButton::Restore:
        target->showNormal();
        break;
    case CaptionButton::Help:
        QWhatsThis::enterWhatsThisMode();
        break;
    case CaptionButton::Minimise:
        target->showMinimized();
        break;
    }
}

bool CCaptionPainter::HandleMouse(QEvent* event) {
    QWidget* target = HookedWindow();
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    const QRect caption = GetCaptionRect(target);
    const Qt::Edges edges = EdgesAt(pos);
    std::optional<CaptionButton> onButton;
    if (caption.contains(pos)) {
        for (const CaptionButtonRect& entry : CaptionButtonRects(target, caption.width())) {
            if (entry.rect.translated(caption.topLeft()).contains(pos)) {
                onButton = entry.button;
            }
        }
    }

    switch (event->type()) {
    case QEvent::MouseMove:
        if (mouse->buttons() == Qt::NoButton) {
            if ((edges & (Qt::LeftEdge | Qt::TopEdge)) == (Qt::LeftEdge | Qt::TopEdge) ||
                (edges & (Qt::RightEdge | Qt::BottomEdge)) == (Qt::RightEdge | Qt::BottomEdge)) {
                target->setCursor(Qt::SizeFDiagCursor);
            } else if ((edges & (Qt::RightEdge | Qt::TopEdge)) == (Qt::RightEdge | Qt::TopEdge) ||
                       (edges & (Qt::LeftEdge | Qt::BottomEdge)) ==
                           (Qt::LeftEdge | Qt::BottomEdge)) {
                target->setCursor(Qt::SizeBDiagCursor);
            } else if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
                target->setCursor(Qt::SizeHorCursor);
            } else if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
                target->setCursor(Qt::SizeVerCursor);
            } else {
                target->unsetCursor();
            }
        }
        return false;
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton) {
            return false;
        }
        if (edges) {
            if (QWindow* handle = target->windowHandle()) {
                handle->startSystemResize(edges);
            }
            return true;
        }
        if (onButton) {
            pressedButton = onButton;
            return true;
        }
        if (caption.contains(pos)) {
            if (QWindow* handle = target->windowHandle()) {
                handle->startSystemMove();
            }
            return true;
        }
        return false;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !pressedButton) {
            return false;
        }
        {
            const CaptionButton pressed = *pressedButton;
            pressedButton.reset();
            if (onButton == pressed) {
                RunButton(pressed);
            }
        }
        return true;
    case QEvent::MouseButtonDblClick:
        if (mouse->button() == Qt::LeftButton && caption.contains(pos) && !onButton &&
            (target->windowFlags() & Qt::WindowMaximizeButtonHint)) {
            RunButton(target->isMaximized() ? CaptionButton::Restore : CaptionButton::Maximise);
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CaptionPaintHandler::HandleEvent(QEvent* event, int paintMessage) {
    if (event->type() != static_cast<QEvent::Type>(paintMessage)) {
        return false;
    }
    auto* request = static_cast<CaptionPaintEvent*>(event);
    if (!request->Record()) {
        captionFont.reset();
        titleFont.reset();
        return true;
    }
    Paint(request->Active(), *request->Record());
    return true;
}

void CaptionPaintHandler::Paint(bool active, const CaptionPaintRecord& record) {
    QPainter& painter = *record.painter;
    const QPalette palette = record.window->palette();
    if (active) {
        PaintCaptionFade(painter, record.width, record.height,
                         palette.color(QPalette::Active, QPalette::Highlight));
    } else {
        painter.fillRect(QRect(0, 0, record.width, record.height),
                         palette.color(QPalette::Inactive, QPalette::Dark));
    }
    const int iconWidth = CCaptionPainter::DrawIcon(record);
    const int buttonsLeft = CCaptionPainter::DrawButtons(record);
    if (!titleFont) {
        captionFont = QApplication::font("QMdiSubWindowTitleBar");
        QFont title("Tahoma");
        title.setStyleHint(QFont::SansSerif);
        title.setPixelSize(std::max(8, QFontInfo(*captionFont).pixelSize()));
        title.setWeight(QFont::Bold);
        titleFont = title;
    }
    const QRect textRect(iconWidth + 2, 0, std::max(0, buttonsLeft - iconWidth - 2), record.height);
    painter.setFont(*titleFont);
    painter.setPen(Qt::white);
    const QString title =
        QFontMetrics(*titleFont)
            .elidedText(ResString(IDS_APP_TITLE), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
}
