#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;
class QWidget;

// Cyan: the key colour of pictures drawn in transparent-colour mode.
inline const QColor SKIN_TRANSPARENT_COLOUR(0, 255, 255);

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};

// A logical palette as a palette display knows it.
struct LogicalPalette {
    std::uint16_t version = 0x300;
    std::vector<PaletteEntry> entries;

    QVector<QRgb> ColourTable() const;
};

// The resource path of a skin picture: ":/skin/<id>.png".
QString ResourceBitmapPath(int id);

// The picture with the given resource id, or a null pixmap when there is none.
// While a process palette is in use on a palette display, the picture is
// reduced to that palette (as a device-dependent bitmap would be). The window
// only names the display the picture is for; any window will do.
QPixmap LoadResourceBitmap(int id, const QWidget* window = nullptr);

// The picture and, when it has a colour table of 256 entries or fewer, a
// palette made from it; null pixmap when the id is unknown.
QPixmap LoadResourceBitmapWithPalette(int id, std::optional<LogicalPalette>* palette);

// The palette of a packed device-independent bitmap (header, colour table,
// pixels) of 1, 4 or 8 bits per pixel; none above 8 bits or when the data is
// too short or malformed. numColours receives the entry count (0 when none).
std::optional<LogicalPalette> CreatePaletteFromDib(const QByteArray& packedDib, int* numColours);

// The process palette, set by the main window when it loads its skin.
void SetProcessPalette(std::optional<LogicalPalette> palette);
const std::optional<LogicalPalette>& ProcessPalette();

int GetBitmapWidth(const QPixmap& bitmap);
int GetBitmapHeight(const QPixmap& bitmap);
QSize GetBitmapSize(const QPixmap& bitmap);

void DrawBitmap(QPainter& painter, const QPixmap& bitmap, QPoint position);
void DrawBitmap(QPainter& painter, const QPixmap& bitmap, const QRect& rect);
void DrawStretched(QPainter& painter, const QPixmap& bitmap, const QRect& rect);

// The bitmap with every pixel of the key colour made fully transparent.
QImage KeyOutColour(const QPixmap& bitmap, const QColor& key);

// Draws the bitmap at (x, y) leaving out the pixels of the key colour.
void DrawTransparentColour(QPainter& painter, const QPixmap& bitmap, int x, int y,
                           const QColor& key = SKIN_TRANSPARENT_COLOUR);

// Composes the bitmap through a monochrome mask over the background: where
// the mask is black the bitmap shows, elsewhere the background at
// position + backgroundOffset. The result is drawn at position in one block.
void DrawWithMask(QPainter& painter, const QPixmap& bitmap, const QImage& mask,
                  const QPixmap& background, QPoint position, QPoint backgroundOffset = QPoint());

// True where the mask pixel is black (0); points outside the mask count as not black.
bool MaskIsBlackAt(const QImage& mask, QPoint point);
