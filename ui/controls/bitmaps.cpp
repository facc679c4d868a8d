#include "ui/controls/bitmaps.h"

#include "ui/controls/display_caps.h"

#include <QFile>
#include <QPainter>
#include <QWidget>
#include <QtEndian>

// The skin lives in a static library; this pulls its resources into every
// program that loads a picture.
static void InitSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace {

void EnsureSkinResources() {
    static const bool initialised = [] {
        InitSkinResources();
        return true;
    }();
    (void)initialised;
}

std::optional<LogicalPalette>& StoredPalette() {
    static std::optional<LogicalPalette> palette;
    return palette;
}

constexpr int BITMAP_CORE_HEADER_SIZE = 12;
constexpr int BITMAP_INFO_HEADER_SIZE = 40;

LogicalPalette PaletteFromColourTable(const QVector<QRgb>& table) {
    LogicalPalette palette;
    palette.entries.reserve(static_cast<size_t>(table.size()));
    for (QRgb colour : table) {
        palette.entries.push_back({static_cast<std::uint8_t>(qRed(colour)),
                                   static_cast<std::uint8_t>(qGreen(colour)),
                                   static_cast<std::uint8_t>(qBlue(colour)), 0});
    }
    return palette;
}

} // namespace

QVector<QRgb> LogicalPalette::ColourTable() const {
    QVector<QRgb> table;
    table.reserve(static_cast<qsizetype>(entries.size()));
    for (const PaletteEntry& entry : entries) {
        table.push_back(qRgb(entry.red, entry.green, entry.blue));
    }
    return table;
}

QString ResourceBitmapPath(int id) {
    return QStringLiteral(":/skin/%1.png").arg(id);
}

QPixmap LoadResourceBitmap(int id, const QWidget* window) {
    (void)window;
    EnsureSkinResources();
    QImage image(ResourceBitmapPath(id));
    if (image.isNull()) {
        return QPixmap();
    }
    const std::optional<LogicalPalette>& palette = StoredPalette();
    if (palette && !palette->entries.empty() && CurrentDisplayCaps().paletteDisplay) {
        image = image.convertToFormat(QImage::Format_ARGB32)
                    .convertToFormat(QImage::Format_Indexed8, palette->ColourTable());
    }
    return QPixmap::fromImage(image);
}

QPixmap LoadResourceBitmapWithPalette(int id, std::optional<LogicalPalette>* palette) {
    EnsureSkinResources();
    const QImage image(ResourceBitmapPath(id));
    if (palette != nullptr) {
        palette->reset();
        if (!image.isNull() && image.colorCount() > 0 && image.colorCount() <= 256) {
            *palette = PaletteFromColourTable(image.colorTable());
        }
    }
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

std::optional<LogicalPalette> CreatePaletteFromDib(const QByteArray& packedDib, int* numColours) {
    if (numColours != nullptr) {
        *numColours = 0;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(packedDib.constData());
    const qsizetype size = packedDib.size();
    if (size < 4) {
        return std::nullopt;
    }
    const quint32 headerSize = qFromLittleEndian<quint32>(bytes);
    int planes = 0;
    int bitCount = 0;
    int entrySize = 4;
    if (headerSize == BITMAP_CORE_HEADER_SIZE && size >= BITMAP_CORE_HEADER_SIZE) {
        planes = qFromLittleEndian<quint16>(bytes + 8);
        bitCount = qFromLittleEndian<quint16>(bytes + 10);
        entrySize = 3;
    } else if (headerSize >= BITMAP_INFO_HEADER_SIZE && headerSize <= static_cast<quint32>(size)) {
        planes = qFromLittleEndian<quint16>(bytes + 12);
        bitCount = qFromLittleEndian<quint16>(bytes + 14);
    } else {
        return std::nullopt;
    }
    const int depth = planes * bitCount;
    if (depth < 1 || depth > 8) {
        return std::nullopt;
    }
    // The table is counted from the bit count alone, as the pixels are.
    const qsizetype count = qsizetype(1) << bitCount;
    if (static_cast<quint64>(headerSize) + static_cast<quint64>(count * entrySize) >
        static_cast<quint64>(size)) {
        return std::nullopt;
    }
    LogicalPalette palette;
    palette.entries.reserve(static_cast<size_t>(count));
    const uchar* table = bytes + headerSize;
    for (qsizetype i = 0; i < count; ++i) {
        const uchar* quad = table + i * entrySize;
        palette.entries.push_back({quad[2], quad[1], quad[0], 0});
    }
    if (numColours != nullptr) {
        *numColours = static_cast<int>(count);
    }
    return palette;
}

void SetProcessPalette(std::optional<LogicalPalette> palette) {
    StoredPalette() = std::move(palette);
}

const std::optional<LogicalPalette>& ProcessPalette() {
    return StoredPalette();
}

int GetBitmapWidth(const QPixmap& bitmap) {
    return bitmap.width();
}

int GetBitmapHeight(const QPixmap& bitmap) {
    return bitmap.height();
}

QSize GetBitmapSize(const QPixmap& bitmap) {
    return bitmap.size();
}

void DrawBitmap(QPainter& painter, const QPixmap& bitmap, QPoint position) {
    painter.drawPixmap(position, bitmap);
}

void DrawBitmap(QPainter& painter, const QPixmap& bitmap, const QRect& rect) {
    painter.drawPixmap(rect.topLeft(), bitmap, QRect(QPoint(0, 0), rect.size()));
}

void DrawStretched(QPainter& painter, const QPixmap& bitmap, const QRect& rect) {
    painter.drawPixmap(rect, bitmap);
}

QImage KeyOutColour(const QPixmap& bitmap, const QColor& key) {
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = key.rgb() & 0x00FFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == keyRgb && qAlpha(line[x]) == 255) {
                line[x] = 0;
            }
        }
    }
    return image;
}

void DrawTransparentColour(QPainter& painter, const QPixmap& bitmap, int x, int y,
                           const QColor& key) {
    if (bitmap.isNull()) {
        return;
    }
    painter.drawImage(QPoint(x, y), KeyOutColour(bitmap, key));
}

bool MaskIsBlackAt(const QImage& mask, QPoint point) {
    if (!mask.valid(point)) {
        return false;
    }
    return (mask.pixel(point) & 0x00FFFFFF) == 0;
}

void DrawWithMask(QPainter& painter, const QPixmap& bitmap, const QImage& mask,
                  const QPixmap& background, QPoint position, QPoint backgroundOffset) {
    if (bitmap.isNull()) {
        return;
    }
    const QImage picture = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage composed(picture.size(), QImage::Format_ARGB32);
    composed.fill(Qt::transparent);
    {
        QPainter work(&composed);
        work.drawPixmap(QPoint(0, 0), background,
                        QRect(position + backgroundOffset, picture.size()));
    }
    for (int y = 0; y < picture.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        auto* target = reinterpret_cast<QRgb*>(composed.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (MaskIsBlackAt(mask, QPoint(x, y))) {
                target[x] = source[x];
            }
        }
    }
    painter.drawImage(position, composed);
}
