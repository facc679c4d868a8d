#include "glyphs.h"

#include <QPainterPath>
#include <QtMath>

namespace {

QPen Outline(const QColor& colour, qreal width = 1.2) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void Page(QPainter& p, const QRectF& r) {
    const qreal fold = r.width() * 0.3;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(Outline(Skin::INK));
    p.setBrush(Vertical(r, QColor(255, 255, 255), QColor(222, 226, 236)));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(Qt::NoBrush);
    p.drawPath(corner);
    p.setPen(Outline(QColor(140, 150, 170), 1.0));
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + fold + 3 + i * 3;
        p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
    }
}

void Badge(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour) {
    const QRectF r(centre.x() - radius, centre.y() - radius, radius * 2, radius * 2);
    p.setPen(Outline(colour.darker(150), 1.0));
    p.setBrush(Vertical(r, colour.lighter(135), colour));
    p.drawEllipse(r);
}

void Arrow(QPainter& p, const QRectF& r, bool up) {
    const qreal cx = r.center().x();
    QPainterPath arrow;
    const qreal head = r.height() * 0.55;
    const qreal stem = r.width() * 0.2;
    if (up) {
        arrow.moveTo(cx, r.top());
        arrow.lineTo(r.right(), r.top() + head);
        arrow.lineTo(cx + stem, r.top() + head);
        arrow.lineTo(cx + stem, r.bottom());
        arrow.lineTo(cx - stem, r.bottom());
        arrow.lineTo(cx - stem, r.top() + head);
        arrow.lineTo(r.left(), r.top() + head);
    } else {
        arrow.moveTo(cx, r.bottom());
        arrow.lineTo(r.right(), r.bottom() - head);
        arrow.lineTo(cx + stem, r.bottom() - head);
        arrow.lineTo(cx + stem, r.top());
        arrow.lineTo(cx - stem, r.top());
        arrow.lineTo(cx - stem, r.bottom() - head);
        arrow.lineTo(r.left(), r.bottom() - head);
    }
    arrow.closeSubpath();
    p.setPen(Outline(Skin::BLUE.darker(160), 1.0));
    p.setBrush(Vertical(r, Skin::BLUE.lighter(150), Skin::BLUE));
    p.drawPath(arrow);
}

void Gear(QPainter& p, const QRectF& r) {
    const QPointF c = r.center();
    const qreal outer = r.width() / 2;
    const qreal inner = outer * 0.72;
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const qreal radius = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF point(c.x() + radius * qCos(angle), c.y() + radius * qSin(angle));
        if (i == 0) {
            gear.moveTo(point);
        } else {
            gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, outer * 0.3, outer * 0.3);
    p.setPen(Outline(QColor(60, 70, 90), 1.0));
    p.setBrush(Vertical(r, QColor(176, 186, 204), QColor(104, 116, 140)));
    p.drawPath(gear.subtracted(hole));
}

} // namespace

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = box;
    const QPointF c = r.center();
    switch (glyph) {
    case Glyph::AddFiles: {
        Page(p, QRectF(r.left() + 1.5, r.top() + 0.5, r.width() * 0.62, r.height() - 2));
        const QPointF centre(r.right() - 5, r.bottom() - 5);
        Badge(p, centre, 5, Skin::GREEN);
        p.setPen(Outline(Qt::white, 1.8));
        p.drawLine(centre + QPointF(-2.6, 0), centre + QPointF(2.6, 0));
        p.drawLine(centre + QPointF(0, -2.6), centre + QPointF(0, 2.6));
        break;
    }
    case Glyph::ClearAll: {
        p.setPen(Outline(Skin::INK, 1.0));
        for (int i = 0; i < 4; ++i) {
            const QRectF line(r.left() + 1, r.top() + 2 + i * 4.5, r.width() - 4, 2.5);
            p.setBrush(i % 2 == 0 ? QColor(250, 250, 252) : QColor(214, 222, 236));
            p.drawRoundedRect(line, 1, 1);
        }
        const QPointF centre(r.right() - 5, r.bottom() - 5);
        Badge(p, centre, 5, Skin::RED);
        p.setPen(Outline(Qt::white, 1.8));
        p.drawLine(centre + QPointF(-2.2, -2.2), centre + QPointF(2.2, 2.2));
        p.drawLine(centre + QPointF(-2.2, 2.2), centre + QPointF(2.2, -2.2));
        break;
    }
    case Glyph::Remove: {
        const qreal radius = r.width() / 2 - 0.5;
        Badge(p, c, radius, Skin::RED);
        p.setPen(Outline(Qt::white, 2.2));
        p.drawLine(c + QPointF(-radius * 0.5, 0), c + QPointF(radius * 0.5, 0));
        break;
    }
    case Glyph::Up:
    case Glyph::Down:
        Arrow(p, r.adjusted(1, 0.5, -1, -0.5), glyph == Glyph::Up);
        break;
    case Glyph::Encode: {
        // A waveform turning into a finished file.
        const qreal heights[] = {0.4, 0.75, 1.0, 0.6, 0.85};
        const qreal barWidth = 1.8;
        for (int i = 0; i < 5; ++i) {
            const qreal h = (r.height() - 4) * heights[i];
            const QRectF bar(r.left() + i * (barWidth + 1.0), c.y() - h / 2, barWidth, h);
            p.setPen(Qt::NoPen);
            p.setBrush(Vertical(bar, QColor(60, 190, 190), Skin::TEAL));
            p.drawRoundedRect(bar, 0.8, 0.8);
        }
        QPainterPath arrow;
        const qreal x = r.left() + 5 * (barWidth + 1.0) + 0.5;
        arrow.moveTo(x, c.y() - 6.5);
        arrow.lineTo(r.right(), c.y());
        arrow.lineTo(x, c.y() + 6.5);
        arrow.closeSubpath();
        p.setPen(Outline(Skin::GREEN.darker(150), 1.0));
        p.setBrush(Vertical(r, Skin::GREEN.lighter(150), Skin::GREEN));
        p.drawPath(arrow);
        break;
    }
    case Glyph::Errors: {
        QPainterPath triangle;
        triangle.moveTo(c.x(), r.top() + 1);
        triangle.lineTo(r.right() - 0.5, r.bottom() - 1.5);
        triangle.lineTo(r.left() + 0.5, r.bottom() - 1.5);
        triangle.closeSubpath();
        p.setPen(Outline(QColor(150, 100, 10), 1.2));
        p.setBrush(Vertical(r, QColor(255, 222, 96), Skin::AMBER));
        p.drawPath(triangle);
        p.setPen(Outline(Skin::INK, 2.0));
        p.drawLine(QPointF(c.x(), r.top() + 7), QPointF(c.x(), r.bottom() - 7));
        p.setPen(Qt::NoPen);
        p.setBrush(Skin::INK);
        p.drawEllipse(QPointF(c.x(), r.bottom() - 4.2), 1.2, 1.2);
        break;
    }
    case Glyph::Network: {
        const QPointF top(c.x(), r.top() + 4);
        const QPointF left(r.left() + 4, r.bottom() - 4);
        const QPointF right(r.right() - 4, r.bottom() - 4);
        p.setPen(Outline(Skin::INK, 1.5));
        p.drawLine(top, left);
        p.drawLine(top, right);
        p.drawLine(left, right);
        Badge(p, top, 3.8, Skin::BLUE);
        Badge(p, left, 3.8, Skin::TEAL);
        Badge(p, right, 3.8, Skin::TEAL);
        break;
    }
    case Glyph::Options:
        Gear(p, r.adjusted(0.5, 0.5, -0.5, -0.5));
        break;
    case Glyph::Pause: {
        p.setPen(Outline(Skin::BLUE.darker(160), 1.0));
        p.setBrush(Vertical(r, Skin::BLUE.lighter(150), Skin::BLUE));
        p.drawRoundedRect(QRectF(r.left() + 4, r.top() + 2, 4.5, r.height() - 4), 1.2, 1.2);
        p.drawRoundedRect(QRectF(r.right() - 8.5, r.top() + 2, 4.5, r.height() - 4), 1.2, 1.2);
        break;
    }
    case Glyph::Resume: {
        QPainterPath play;
        play.moveTo(r.left() + 4, r.top() + 2);
        play.lineTo(r.right() - 2, c.y());
        play.lineTo(r.left() + 4, r.bottom() - 2);
        play.closeSubpath();
        p.setPen(Outline(Skin::GREEN.darker(150), 1.0));
        p.setBrush(Vertical(r, Skin::GREEN.lighter(150), Skin::GREEN));
        p.drawPath(play);
        break;
    }
    case Glyph::Quit: {
        const qreal radius = r.width() / 2 - 2;
        QPen pen = Outline(Skin::RED, 2.6);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - radius, c.y() - radius + 1, radius * 2, radius * 2), 120 * 16,
                  -300 * 16);
        p.drawLine(QPointF(c.x(), r.top() + 1), QPointF(c.x(), c.y()));
        break;
    }
    case Glyph::Cancel: {
        const qreal radius = r.width() / 2 - 0.5;
        QPainterPath octagon;
        for (int i = 0; i < 8; ++i) {
            const qreal angle = (i + 0.5) * M_PI / 4;
            const QPointF point(c.x() + radius * qCos(angle), c.y() + radius * qSin(angle));
            if (i == 0) {
                octagon.moveTo(point);
            } else {
                octagon.lineTo(point);
            }
        }
        octagon.closeSubpath();
        p.setPen(Outline(Skin::RED.darker(150), 1.0));
        p.setBrush(Vertical(r, Skin::RED.lighter(140), Skin::RED));
        p.drawPath(octagon);
        p.setPen(Outline(Qt::white, 2.4));
        p.drawLine(c + QPointF(-radius * 0.5, 0), c + QPointF(radius * 0.5, 0));
        break;
    }
    }
    p.restore();
}
