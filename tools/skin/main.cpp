// Draws every picture of the skin and writes resources/skin/<id>.png and
// resources/skin.qrc under the directory given (the repository root).
#include "glyphs.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>
#include <cstdio>
#include <map>

namespace {

enum class State { Normal, Pressed, Disabled, Focused };

QDir outputDir;
std::map<int, QString> written;

void Save(int id, const QImage& image) {
    const QString name = QStringLiteral("%1.png").arg(id);
    if (!image.save(outputDir.filePath(name))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        std::exit(1);
    }
    written[id] = name;
}

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& a, const QColor& b) {
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, a);
    gradient.setColorAt(1, b);
    return gradient;
}

// The glyph in grey and faded, for disabled pictures.
QImage Greyed(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            const int shade = 120 + grey / 4;
            line[x] = qRgba(shade, shade, shade + 4, qAlpha(line[x]) * 45 / 100);
        }
    }
    return image;
}

// A button plate: rounded, softly lit from above, sitting on a faint shadow.
void DrawPlate(QPainter& p, const QRectF& r, State state, qreal radius) {
    p.setRenderHint(QPainter::Antialiasing);
    // Shadow under the plate.
    if (state != State::Pressed && state != State::Disabled) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 38));
        p.drawRoundedRect(r.translated(0, 1.5), radius, radius);
    }
    QColor top, bottom, border;
    switch (state) {
    case State::Normal:
        top = QColor(246, 245, 247);
        bottom = QColor(210, 207, 213);
        border = QColor(112, 110, 120);
        break;
    case State::Focused:
        top = QColor(252, 252, 255);
        bottom = QColor(216, 224, 238);
        border = QColor(46, 104, 178);
        break;
    case State::Pressed:
        top = QColor(176, 174, 184);
        bottom = QColor(212, 210, 216);
        border = QColor(72, 70, 82);
        break;
    case State::Disabled:
        top = QColor(214, 212, 215);
        bottom = QColor(206, 203, 207);
        border = QColor(160, 158, 164);
        break;
    }
    p.setPen(QPen(border, 1.0));
    p.setBrush(Vertical(r.top(), r.bottom(), top, bottom));
    p.drawRoundedRect(r, radius, radius);
    // Inner light (or, pressed, inner shade along the top).
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    if (state == State::Pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 50), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(inner.adjusted(0, 0, 0, 0.5), radius - 1, radius - 1);
    } else if (state != State::Disabled) {
        QLinearGradient light(0, inner.top(), 0, inner.bottom());
        light.setColorAt(0, QColor(255, 255, 255, 230));
        light.setColorAt(0.5, QColor(255, 255, 255, 40));
        light.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(QPen(QBrush(light), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(inner, radius - 1, radius - 1);
    }
    if (state == State::Focused) {
        p.setPen(QPen(QColor(46, 104, 178, 90), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
    }
}

QImage GlyphImage(Glyph glyph, int size) {
    QImage image = Blank(size, size);
    QPainter p(&image);
    DrawGlyph(p, glyph, QRectF(0, 0, size, size));
    return image;
}

QImage Button(int width, int height, Glyph glyph, int glyphSize, QPointF glyphAt, State state,
              qreal radius) {
    QImage image = Blank(width, height);
    QPainter p(&image);
    DrawPlate(p, QRectF(0.5, 0.5, width - 1, height - 2.5), state, radius);
    QImage mark = GlyphImage(glyph, glyphSize);
    QPointF at = glyphAt;
    if (state == State::Pressed) {
        at += QPointF(1, 1);
    }
    if (state == State::Disabled) {
        p.drawImage(at + QPointF(1, 1), [&] {
            QImage emboss = mark.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < emboss.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(emboss.scanLine(y));
                for (int x = 0; x < emboss.width(); ++x) {
                    line[x] = qRgba(255, 255, 255, qAlpha(line[x]) * 55 / 100);
                }
            }
            return emboss;
        }());
        mark = Greyed(mark);
    }
    p.drawImage(at, mark);
    return image;
}

constexpr int CAPTIONED_WIDTH = 62;
constexpr int CAPTIONED_HEIGHT = 50;
constexpr int SMALL_WIDTH = 28;
constexpr int SMALL_HEIGHT = 24;

void ButtonSet(int base, Glyph glyph, bool captioned) {
    // Ids run disabled, pressed, focused, normal from the base.
    const State order[] = {State::Disabled, State::Pressed, State::Focused, State::Normal};
    for (int i = 0; i < 4; ++i) {
        QImage image;
        if (captioned) {
            image = Button(CAPTIONED_WIDTH, CAPTIONED_HEIGHT, glyph, 22,
                           QPointF((CAPTIONED_WIDTH - 22) / 2.0, 5), order[i], 7);
        } else {
            image = Button(SMALL_WIDTH, SMALL_HEIGHT, glyph, 14,
                           QPointF((SMALL_WIDTH - 14) / 2.0, (SMALL_HEIGHT - 2 - 14) / 2.0),
                           order[i], 5);
        }
        Save(base + i, image);
    }
}

// The recess the Encode button sits in.
void EncodeHalo() {
    const int width = CAPTIONED_WIDTH + 14;
    const int height = CAPTIONED_HEIGHT + 12;
    QImage image = Blank(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0.5, 0.5, width - 1, height - 1);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
    p.setBrush(Vertical(0, height, QColor(150, 147, 156), QColor(214, 211, 216)));
    p.drawRoundedRect(outer, 11, 11);
    p.setPen(QPen(QColor(96, 94, 104), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(outer.adjusted(1, 1, -1, -1), 10, 10);
    QRadialGradient glow(QPointF(width / 2.0, height / 2.0), width / 2.0);
    glow.setColorAt(0, QColor(0, 160, 150, 90));
    glow.setColorAt(1, QColor(0, 160, 150, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(outer.adjusted(2, 2, -2, -2), 9, 9);
    Save(254, image);
}

// A band across the top: a waveform that dissolves into the window grey.
void TopBand() {
    const int width = 1024;
    const int height = 34;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), Vertical(0, height, QColor(226, 224, 229), Skin::WINDOW_GREY));
    for (int wave = 0; wave < 3; ++wave) {
        QPainterPath path;
        for (int x = 0; x <= 520; ++x) {
            const qreal envelope = 1.0 - x / 520.0;
            const qreal y = height / 2.0 +
                            envelope * (9 - wave * 2.5) * qSin(x / (11.0 + wave * 4) + wave * 1.3);
            if (x == 0) {
                path.moveTo(x + 8, y);
            } else {
                path.lineTo(x + 8, y);
            }
        }
        QLinearGradient fade(8, 0, 528, 0);
        const int alpha = 150 - wave * 40;
        fade.setColorAt(0, QColor(0, 127, 127, alpha));
        fade.setColorAt(1, QColor(0, 127, 127, 0));
        p.setPen(QPen(QBrush(fade), 1.6 - wave * 0.3));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    // A groove along the bottom edge.
    p.setPen(QPen(QColor(150, 147, 156), 1.0));
    p.drawLine(QPointF(0, height - 1.5), QPointF(width, height - 1.5));
    p.setPen(QPen(QColor(255, 255, 255), 1.0));
    p.drawLine(QPointF(0, height - 0.5), QPointF(width, height - 0.5));
    Save(233, image);
}

constexpr int FRAME = 6;

// The list frame, drawn whole and cut into corners and edge tiles so that
// the pieces always meet.
void ListFrame() {
    const int size = 64;
    QImage whole = Blank(size, size);
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor profile[FRAME] = {QColor(118, 116, 126), QColor(246, 245, 248),
                                       QColor(218, 216, 222), QColor(204, 201, 207),
                                       QColor(150, 147, 156), QColor(84, 82, 92)};
        for (int i = 0; i < FRAME; ++i) {
            const qreal radius = qMax(6.0 - i, 0.5);
            p.setPen(QPen(profile[i], 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(0.5 + i, 0.5 + i, size - 1 - 2 * i, size - 1 - 2 * i), radius,
                              radius);
        }
    }
    const int far = size - FRAME;
    const int mid = size / 2 - 4;
    Save(263, whole.copy(0, 0, FRAME, FRAME));
    Save(256, whole.copy(far, 0, FRAME, FRAME));
    Save(264, whole.copy(0, far, FRAME, FRAME));
    Save(268, whole.copy(far, far, FRAME, FRAME));
    Save(259, whole.copy(mid, 0, 8, FRAME));
    Save(257, whole.copy(mid, far, 8, FRAME));
    Save(261, whole.copy(0, mid, FRAME, 8));
    Save(262, whole.copy(far, mid, FRAME, 8));

    // An ornament for the middle of the top edge: the edge with three grooves.
    QImage ornament = Blank(36, FRAME);
    {
        QPainter p(&ornament);
        for (int x = 0; x < 36; x += 8) {
            p.drawImage(x, 0, whole.copy(mid, 0, 8, FRAME));
        }
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF pill(4.5, 1.5, 27, FRAME - 3);
        p.setPen(QPen(QColor(0, 90, 96), 1.0));
        p.setBrush(Vertical(pill.top(), pill.bottom(), QColor(60, 190, 184), QColor(0, 120, 124)));
        p.drawRoundedRect(pill, 1.5, 1.5);
    }
    Save(269, ornament);
}

void SizeGrip(int id, int size, int ridges) {
    QImage image = Blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal step = (size - 1.0) / ridges;
    for (int i = 0; i < ridges; ++i) {
        const qreal offset = step * (i + 1) - 1.0;
        p.setPen(QPen(QColor(255, 255, 255), 1.0));
        p.drawLine(QPointF(size - offset - 1, size - 0.5), QPointF(size - 0.5, size - offset - 1));
        p.setPen(QPen(QColor(112, 110, 120), 1.2));
        p.drawLine(QPointF(size - offset, size - 0.5), QPointF(size - 0.5, size - offset));
    }
    Save(id, image);
}

// The program's emblem: a sound wave on a teal tile.
QImage Emblem(int size, qreal stroke) {
    QImage image = Blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(1, 1, size - 2, size - 2);
    p.setPen(QPen(QColor(0, 70, 80), 1.0));
    p.setBrush(Vertical(0, size, QColor(40, 170, 170), QColor(0, 88, 110)));
    p.drawRoundedRect(tile, size / 6.0, size / 6.0);
    QPainterPath wave;
    for (int x = 0; x <= 100; ++x) {
        const qreal t = x / 100.0;
        const qreal px = tile.left() + 3 + t * (tile.width() - 6);
        const qreal envelope = qSin(t * M_PI);
        const qreal py = size / 2.0 - envelope * size * 0.3 * qSin(t * M_PI * 4);
        if (x == 0) {
            wave.moveTo(px, py);
        } else {
            wave.lineTo(px, py);
        }
    }
    p.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(QPen(QColor(255, 255, 255, 80), 1.0));
    p.drawLine(QPointF(tile.left() + 3, tile.top() + 1.5),
               QPointF(tile.right() - 3, tile.top() + 1.5));
    return image;
}

void LibraryIcon() {
    const int size = 32;
    QImage image = Blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 44, 56), 1.0));
    p.setBrush(Vertical(0, size, QColor(88, 96, 116), QColor(40, 44, 56)));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    QPainterPath blade;
    blade.moveTo(6, 26);
    blade.cubicTo(10, 14, 18, 7, 27, 5);
    blade.cubicTo(22, 12, 16, 20, 9, 27);
    blade.closeSubpath();
    QLinearGradient steel(6, 26, 27, 5);
    steel.setColorAt(0, QColor(170, 176, 188));
    steel.setColorAt(0.5, QColor(250, 252, 255));
    steel.setColorAt(1, QColor(150, 158, 172));
    p.setPen(QPen(QColor(30, 32, 40), 0.8));
    p.setBrush(steel);
    p.drawPath(blade);
    p.setPen(QPen(QColor(0, 160, 150), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 27), QPointF(9, 23));
    Save(146, image);
}

QImage Indexed(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32)
        .convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither | Qt::PreferDither);
}

void Pictures() {
    const int width = 240;
    const int height = 160;
    {
        QImage image(width, height, QImage::Format_RGB32);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(image.rect(), Vertical(0, height, QColor(40, 52, 110), QColor(236, 140, 80)));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 214, 120));
        p.drawEllipse(QPointF(170, 104), 22, 22);
        QPainterPath hills;
        hills.moveTo(0, 120);
        hills.cubicTo(60, 90, 110, 130, 160, 110);
        hills.cubicTo(200, 96, 220, 112, 240, 106);
        hills.lineTo(240, 160);
        hills.lineTo(0, 160);
        hills.closeSubpath();
        p.setBrush(Vertical(96, 160, QColor(40, 70, 80), QColor(10, 24, 30)));
        p.drawPath(hills);
        QPainterPath wave;
        for (int x = 0; x <= width; ++x) {
            const qreal y = 140 + 6 * qSin(x / 9.0) * qSin(x / 60.0);
            x == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
        }
        p.setPen(QPen(QColor(0, 200, 190), 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
        p.end();
        Save(147, Indexed(image));
    }
    {
        QImage image(width, height, QImage::Format_RGB32);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(image.rect(), Vertical(0, height, QColor(6, 10, 30), QColor(24, 44, 84)));
        quint32 seed = 12345;
        auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) & 0xFFFF;
        };
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 90; ++i) {
            const qreal x = next() % width;
            const qreal y = next() % (height - 30);
            const int bright = 150 + static_cast<int>(next() % 106);
            p.setBrush(QColor(bright, bright, 255));
            p.drawEllipse(QPointF(x, y), 0.6 + (next() % 10) / 10.0, 0.6 + (next() % 10) / 10.0);
        }
        QPainterPath moon;
        moon.addEllipse(QPointF(60, 44), 18, 18);
        QPainterPath shade;
        shade.addEllipse(QPointF(68, 38), 16, 16);
        p.setBrush(QColor(248, 244, 220));
        p.drawPath(moon.subtracted(shade));
        for (int i = 0; i < 12; ++i) {
            const qreal h = 8 + (next() % 28);
            p.setBrush(QColor(0, 127, 127));
            p.drawRoundedRect(QRectF(110 + i * 10, height - 12 - h, 6, h), 2, 2);
        }
        p.end();
        Save(152, Indexed(image));
    }
}

void HandCursor() {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(8, 1, 5, 17), 2.5, 2.5);      // index finger
    hand.addRoundedRect(QRectF(12.5, 9, 4.5, 10), 2.2, 2.2); // middle
    hand.addRoundedRect(QRectF(16.5, 10, 4.5, 9), 2.2, 2.2); // ring
    hand.addRoundedRect(QRectF(20.5, 11.5, 4, 8), 2, 2);     // little
    hand.addRoundedRect(QRectF(8, 14, 16.5, 12), 4, 4);      // palm
    QPainterPath thumb;
    thumb.moveTo(9, 22);
    thumb.lineTo(4.5, 16);
    thumb.cubicTo(3, 14, 5.5, 12, 7, 13.5);
    thumb.lineTo(10, 17);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();
    p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(QColor(0, 0, 0, 120), 0.8));
    p.drawLine(QPointF(12.8, 14), QPointF(12.8, 17.5));
    p.drawLine(QPointF(16.8, 14), QPointF(16.8, 17.5));
    p.drawLine(QPointF(20.7, 15), QPointF(20.7, 17.5));
    Save(370, image);
}

// A full/empty pair for the picture style of the progress bar: 18 cells of 12.
void ProgressPair() {
    QImage empty = Blank(224, 20);
    {
        QPainter p(&empty);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255), 1.0));
        p.setBrush(Vertical(0, 20, QColor(120, 117, 126), QColor(176, 173, 180)));
        p.drawRoundedRect(QRectF(0.5, 0.5, 223, 19), 6, 6);
        p.setPen(QPen(QColor(84, 82, 92), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1.5, 1.5, 221, 17), 5, 5);
    }
    Save(902, empty);
    QImage full = Blank(216, 12);
    {
        QPainter p(&full);
        p.setRenderHint(QPainter::Antialiasing);
        for (int cell = 0; cell < 18; ++cell) {
            const QRectF r(cell * 12 + 0.5, 0.5, 11, 11);
            p.setPen(QPen(QColor(0, 90, 90), 1.0));
            p.setBrush(Vertical(0, 12, QColor(80, 220, 200), QColor(0, 127, 127)));
            p.drawRoundedRect(r, 2.5, 2.5);
        }
    }
    Save(901, full);
}

bool WriteQrc(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        return false;
    }
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    for (const auto& [id, name] : written) {
        out << "    <file alias=\"" << name << "\">skin/" << name << "</file>\n";
    }
    out << "</qresource>\n</RCC>\n";
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    outputDir = QDir(root + QStringLiteral("/resources/skin"));
    if (!QDir().mkpath(outputDir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outputDir.path()));
        return 1;
    }

    ButtonSet(181, Glyph::AddFiles, true);
    ButtonSet(185, Glyph::ClearAll, true);
    ButtonSet(189, Glyph::Remove, false);
    ButtonSet(193, Glyph::Down, false);
    ButtonSet(197, Glyph::Encode, true);
    ButtonSet(201, Glyph::Errors, true);
    ButtonSet(205, Glyph::Network, true);
    ButtonSet(209, Glyph::Options, true);
    ButtonSet(213, Glyph::Pause, true);
    ButtonSet(217, Glyph::Quit, true);
    ButtonSet(221, Glyph::Resume, true);
    ButtonSet(225, Glyph::Cancel, true);
    ButtonSet(229, Glyph::Up, false);
    EncodeHalo();
    TopBand();
    ListFrame();
    SizeGrip(255, 13, 3);
    SizeGrip(265, 16, 4);
    Save(128, Emblem(32, 2.2));
    Save(131, Emblem(32, 3.0));
    LibraryIcon();
    Pictures();
    HandCursor();
    ProgressPair();

    if (!WriteQrc(root + QStringLiteral("/resources/skin.qrc"))) {
        std::fprintf(stderr, "cannot write skin.qrc\n");
        return 1;
    }
    std::printf("%zu pictures written\n", written.size());
    return 0;
}
