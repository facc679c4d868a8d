#include "ui/controls/bitmaps.h"
#include "ui/controls/display_caps.h"
#include "ui/controls/skin_ids.h"

#include <QPainter>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// A packed DIB: header of `headerSize` bytes, then `tableEntries` colours
// (entry i = red i, green 2i, blue 3i), no pixels needed for the palette.
QByteArray PackedDib(int headerSize, int planes, int bitCount, int tableEntries) {
    const int entrySize = headerSize == 12 ? 3 : 4;
    QByteArray dib(headerSize + tableEntries * entrySize, '\0');
    auto* bytes = reinterpret_cast<uchar*>(dib.data());
    qToLittleEndian<quint32>(static_cast<quint32>(headerSize), bytes);
    if (headerSize == 12) {
        qToLittleEndian<quint16>(static_cast<quint16>(planes), bytes + 8);
        qToLittleEndian<quint16>(static_cast<quint16>(bitCount), bytes + 10);
    } else {
        qToLittleEndian<quint16>(static_cast<quint16>(planes), bytes + 12);
        qToLittleEndian<quint16>(static_cast<quint16>(bitCount), bytes + 14);
    }
    for (int i = 0; i < tableEntries; ++i) {
        uchar* entry = bytes + headerSize + i * entrySize;
        entry[0] = static_cast<uchar>(3 * i); // blue first, as the file keeps it
        entry[1] = static_cast<uchar>(2 * i);
        entry[2] = static_cast<uchar>(i);
    }
    return dib;
}

} // namespace

TEST(ResourceBitmaps, EveryPictureLoadsAndButtonSetsShareOneSize) {
    for (int id : {254, 233, 256, 257, 259, 261, 262, 263, 264, 268, 269, 255, 265, 128, 131, 146,
                   147, 152, 370}) {
        EXPECT_FALSE(LoadResourceBitmap(id).isNull()) << id;
    }
    for (int id : {9999, 0, -5}) {
        EXPECT_TRUE(LoadResourceBitmap(id).isNull()) << id;
    }
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        const QImage normal = LoadResourceBitmap(set.Normal()).toImage();
        ASSERT_FALSE(normal.isNull()) << set.Normal();
        for (int id : {set.Pressed(), set.Disabled(), set.Focused()}) {
            const QImage other = LoadResourceBitmap(id).toImage();
            EXPECT_EQ(other.size(), normal.size()) << id;
            EXPECT_NE(other, normal) << id;
        }
    }
    // The frame pieces meet: corners and edge tiles have the same thickness.
    const int edge = GetBitmapWidth(LoadResourceBitmap(SKIN_LIST_TOP_LEFT));
    EXPECT_EQ(GetBitmapHeight(LoadResourceBitmap(SKIN_LIST_TOP_EDGE)), edge);
    EXPECT_EQ(GetBitmapHeight(LoadResourceBitmap(SKIN_LIST_BOTTOM_EDGE)), edge);
    EXPECT_EQ(GetBitmapWidth(LoadResourceBitmap(SKIN_LIST_LEFT_EDGE)), edge);
    EXPECT_EQ(GetBitmapWidth(LoadResourceBitmap(SKIN_LIST_RIGHT_EDGE)), edge);
    EXPECT_EQ(GetBitmapSize(LoadResourceBitmap(SKIN_LIST_BOTTOM_RIGHT)), QSize(edge, edge));
}

// Planes times bits decide whether there is a table, the bit count its size.
TEST(Palettes, WholeColourTablesOfEightBitsAndFewerMakeAPaletteAndPicturesUseIt) {
    const struct {
        int header, planes, bits, entries, count; // count -1: no palette
    } cases[] = {{40, 1, 8, 256, 256}, {40, 1, 4, 16, 16},  {40, 1, 1, 2, 2},
                 {12, 1, 4, 16, 16},   {40, 2, 4, 16, 16},  {40, 1, 24, 0, -1},
                 {40, 1, 16, 0, -1},   {40, 2, 8, 256, -1}, {40, 1, 8, 255, -1}};
    for (const auto& c : cases) {
        int count = -2;
        const auto palette =
            CreatePaletteFromDib(PackedDib(c.header, c.planes, c.bits, c.entries), &count);
        ASSERT_EQ(palette.has_value(), c.count >= 0)
            << c.header << " " << c.planes << "x" << c.bits;
        EXPECT_EQ(count, std::max(c.count, 0));
        if (palette) {
            ASSERT_EQ(palette->entries.size(), std::size_t(c.count));
            EXPECT_EQ(palette->version, 0x300);
            // The old core header keeps three-byte entries.
            const PaletteEntry& entry = palette->entries[c.count / 2];
            EXPECT_EQ(entry.red, c.count / 2);
            EXPECT_EQ(entry.green, 2 * (c.count / 2) % 256);
            EXPECT_EQ(entry.blue, 3 * (c.count / 2) % 256);
            EXPECT_EQ(entry.flags, 0);
        }
    }
    // A header larger than the data, no data at all, less than a header.
    int count = -1;
    QByteArray lying = PackedDib(40, 1, 8, 256);
    qToLittleEndian<quint32>(100000, reinterpret_cast<uchar*>(lying.data()));
    EXPECT_FALSE(CreatePaletteFromDib(lying, nullptr).has_value());
    EXPECT_FALSE(CreatePaletteFromDib(QByteArray(), &count).has_value());
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(CreatePaletteFromDib(QByteArray(3, '\x28'), nullptr).has_value());

    // The palette of a picture, and pictures reduced to the process palette.
    std::optional<LogicalPalette> palette;
    EXPECT_FALSE(LoadResourceBitmapWithPalette(SKIN_PICTURE_ONE, &palette).isNull());
    ASSERT_TRUE(palette.has_value());
    EXPECT_GT(palette->entries.size(), 1u);
    EXPECT_LE(palette->entries.size(), 256u);
    EXPECT_FALSE(LoadResourceBitmapWithPalette(SKIN_APP_ICON, &palette).isNull());
    EXPECT_FALSE(palette.has_value());
    EXPECT_TRUE(LoadResourceBitmapWithPalette(9999, &palette).isNull());

    // On a palette display, pictures are reduced to the process palette.
    LogicalPalette twoColours;
    twoColours.entries = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    SetProcessPalette(twoColours);
    SetDisplayCaps(ComputeDisplayCaps(8, 1, 96));
    const QImage reduced = LoadResourceBitmap(SKIN_PICTURE_ONE).toImage();
    for (int y = 0; y < reduced.height(); y += 7) {
        for (int x = 0; x < reduced.width(); x += 7) {
            const QRgb pixel = reduced.pixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(pixel == 0 || pixel == 0xFFFFFF) << x << "," << y;
        }
    }
    // Not on a true-colour display.
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));
    const QImage full = LoadResourceBitmap(SKIN_PICTURE_ONE).toImage();
    EXPECT_NE(full.pixel(120, 10) & 0xFFFFFF, 0u);
    EXPECT_NE(full.pixel(120, 10) & 0xFFFFFF, 0xFFFFFFu);
    SetProcessPalette(std::nullopt);
    EXPECT_FALSE(ProcessPalette().has_value());
}

TEST(TransparentDrawing, KeyColourAndMaskLeaveTheBackground) {
    QImage bitmapImage(3, 1, QImage::Format_RGB32);
    bitmapImage.setPixel(0, 0, qRgb(0, 255, 255));
    bitmapImage.setPixel(1, 0, qRgb(10, 20, 30));
    bitmapImage.setPixel(2, 0, qRgb(0, 255, 254)); // near the key is not the key
    const QPixmap bitmap = QPixmap::fromImage(bitmapImage);

    QImage target(5, 2, QImage::Format_RGB32);
    target.fill(qRgb(200, 0, 0));
    {
        QPainter painter(&target);
        DrawTransparentColour(painter, bitmap, 1, 1);
    }
    EXPECT_EQ(target.pixel(1, 1), qRgb(200, 0, 0));
    EXPECT_EQ(target.pixel(2, 1), qRgb(10, 20, 30));
    EXPECT_EQ(target.pixel(3, 1), qRgb(0, 255, 254));
    EXPECT_EQ(target.pixel(1, 0), qRgb(200, 0, 0));

    // Mask: black shows the bitmap, white the background from the other
    // context, read at position + offset.
    QImage mask(3, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    mask.setPixel(2, 0, qRgb(0, 0, 0));
    QImage backgroundImage(8, 2, QImage::Format_RGB32);
    backgroundImage.fill(qRgb(1, 1, 1));
    backgroundImage.setPixel(4, 1, qRgb(50, 60, 70));
    const QPixmap background = QPixmap::fromImage(backgroundImage);
    target.fill(qRgb(200, 0, 0));
    {
        QPainter painter(&target);
        DrawWithMask(painter, bitmap, mask, background, QPoint(1, 1), QPoint(2, 0));
    }
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 255, 255));
    EXPECT_EQ(target.pixel(2, 1), qRgb(50, 60, 70));
    EXPECT_EQ(target.pixel(3, 1), qRgb(0, 255, 254));
    EXPECT_EQ(target.pixel(4, 1), qRgb(200, 0, 0));

    EXPECT_TRUE(MaskIsBlackAt(mask, QPoint(0, 0)));
    EXPECT_FALSE(MaskIsBlackAt(mask, QPoint(1, 0)));
    EXPECT_FALSE(MaskIsBlackAt(mask, QPoint(3, 0)));
}
