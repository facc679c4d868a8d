#include "ui/main_face.h"

#include "ui/controls/bitmaps.h"
#include "ui/controls/skin_ids.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWindow>

CMainFace::CMainFace(bool largeFonts, double scale, QWidget* parent)
    : QWidget(parent), scale(scale) {
    setObjectName(QStringLiteral("face"));
    band = Load(SKIN_TOP_BAND);
    halo = Load(SKIN_ENCODE_HALO);
    // The large-fonts grip is drawn at its size already.
    grip = largeFonts ? LoadResourceBitmap(SKIN_SIZE_GRIP_LARGE, this) : Load(SKIN_SIZE_GRIP);
    corners[0] = Load(SKIN_LIST_TOP_LEFT);
    corners[1] = Load(SKIN_LIST_TOP_RIGHT);
    corners[2] = Load(SKIN_LIST_BOTTOM_LEFT);
    corners[3] = Load(SKIN_LIST_BOTTOM_RIGHT);
    ornament = Load(SKIN_LIST_TOP_ORNAMENT);
    edges[0] = Load(SKIN_LIST_TOP_EDGE);
    edges[1] = Load(SKIN_LIST_LEFT_EDGE);
    edges[2] = Load(SKIN_LIST_RIGHT_EDGE);
    edges[3] = Load(SKIN_LIST_BOTTOM_EDGE);
    setMouseTracking(true);
}

QPixmap CMainFace::Load(int id) const {
    QPixmap picture = LoadResourceBitmap(id, this);
    if (picture.isNull() || scale == 1.0) {
        return picture;
    }
    const QSize size(qRound(picture.width() * scale), qRound(picture.height() * scale));
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void CMainFace::SetListRect(const QRect& rect) {
    listRect = rect;
    update();
}

void CMainFace::SetEncodeRect(const QRect& rect) {
    encodeRect = rect;
    update();
}

void CMainFace::SetShowGrip(bool show) {
    showGrip = show;
    update();
}

QRect CMainFace::GripRect() const {
    const QSize size = grip.isNull() ? QSize(13, 13) : grip.size();
    return QRect(QPoint(width() - size.width(), height() - size.height()), size);
}

QRect CMainFace::EncodePictureRect() const {
    if (halo.isNull() || encodeRect.isNull()) {
        return QRect();
    }
    QRect rect(QPoint(), halo.size());
    rect.moveCenter(encodeRect.center());
    return rect;
}

void CMainFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), WINDOW_GREY);
    if (!band.isNull()) {
        painter.drawPixmap(0, 0, band);
    }
    PaintListFrame(painter);
    if (!halo.isNull() && !encodeRect.isNull()) {
        painter.drawPixmap(EncodePictureRect().topLeft(), halo);
    }
    if (showGrip) {
        if (!grip.isNull()) {
            painter.drawPixmap(GripRect().topLeft(), grip);
        } else {
            QStyleOptionSizeGrip option;
            option.initFrom(this);
            option.rect = GripRect();
            option.corner = Qt::BottomRightCorner;
            style()->drawControl(QStyle::CE_SizeGrip, &option, &painter, this);
        }
    }
}

void CMainFace::PaintListFrame(QPainter& painter) const {
    if (listRect.isNull()) {
        return;
    }
    const int side = corners[0].isNull() ? 6 : corners[0].width();
    const QRect outer = listRect.adjusted(-side, -side, side, side);
    // Edges first, tiled; the corners go over their ends.
    if (!edges[0].isNull()) {
        painter.drawTiledPixmap(QRect(outer.left(), outer.top(), outer.width(), side), edges[0]);
    }
    if (!edges[3].isNull()) {
        painter.drawTiledPixmap(QRect(outer.left(), listRect.bottom() + 1, outer.width(), side),
                                edges[3]);
    }
    if (!edges[1].isNull()) {
        painter.drawTiledPixmap(QRect(outer.left(), outer.top(), side, outer.height()), edges[1]);
    }
    if (!edges[2].isNull()) {
        painter.drawTiledPixmap(QRect(listRect.right() + 1, outer.top(), side, outer.height()),
                                edges[2]);
    }
    if (!ornament.isNull()) {
        painter.drawPixmap(outer.center().x() - ornament.width() / 2, outer.top(), ornament);
    }
    const QPoint places[4] = {outer.topLeft(), QPoint(listRect.right() + 1, outer.top()),
                              QPoint(outer.left(), listRect.bottom() + 1),
                              QPoint(listRect.right() + 1, listRect.bottom() + 1)};
    for (int i = 0; i < 4; ++i) {
        if (!corners[i].isNull()) {
            painter.drawPixmap(places[i], corners[i]);
        }
    }
}

void CMainFace::mousePressEvent(QMouseEvent* event) {
    // The grip picture is the lower right sizing corner.
    QWidget* top = window();
    if (event->button() == Qt::LeftButton && showGrip && !top->isMaximized() &&
        GripRect().contains(event->position().toPoint()) && top->windowHandle() != nullptr) {
        top->windowHandle()->startSystemResize(Qt::RightEdge | Qt::BottomEdge);
        return;
    }
    QWidget::mousePressEvent(event);
}

void CMainFace::mouseMoveEvent(QMouseEvent* event) {
    const bool onGrip =
        showGrip && !window()->isMaximized() && GripRect().contains(event->position().toPoint());
    setCursor(onGrip ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}
