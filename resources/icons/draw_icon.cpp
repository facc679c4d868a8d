// Draws the program's icon as PNG files of the given sizes:
//   corvane-draw-icon OUTPUT_FOLDER SIZE...   writes OUTPUT_FOLDER/SIZExSIZE.png
// The same picture as corvane-encoder.svg: a blue tile, a sound wave and an
// orange arrow, drawn on a 256-unit square and scaled.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace {

void Draw(QPainter& painter) {
    QLinearGradient tile(0, 16, 0, 240);
    tile.setColorAt(0, QColor(0x3a, 0x6f, 0xc4));
    tile.setColorAt(1, QColor(0x17, 0x2f, 0x66));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(16, 16, 224, 224), 40, 40);

    QPainterPath wave;
    for (int x = 40; x <= 150; ++x) {
        const double t = (x - 40) / 110.0;
        const double y = 128 - 60 * std::sin(t * 3 * std::numbers::pi) * (1 - 0.5 * t);
        if (x == 40) {
            wave.moveTo(x, y);
        } else {
            wave.lineTo(x, y);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(wave);

    QPainterPath arrow;
    arrow.moveTo(150, 84);
    arrow.lineTo(216, 128);
    arrow.lineTo(150, 172);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf5, 0x9e, 0x1b));
    painter.drawPath(arrow);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvane-draw-icon OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "unusable size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 256.0, size / 256.0);
        Draw(painter);
        painter.end();
        const QString path = folder.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
