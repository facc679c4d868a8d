#include "gallery.h"

#include "ui/controls/bitmaps.h"
#include "ui/controls/skin_ids.h"

#include <QPainter>

namespace {

// The face of the main window assembled from the skin pictures: the top
// band, the framed list, the size grip, and the icons and pictures.
class SkinSheet : public QWidget {
public:
    SkinSheet() { setFixedSize(560, 420); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), GalleryWindowGrey());
        const QPixmap band = LoadResourceBitmap(SKIN_TOP_BAND);
        painter.drawPixmap(0, 0, band, 0, 0, width(), band.height());
        DrawListFrame(painter, QRect(16, band.height() + 14, 340, 200));

        int x = 380;
        for (int id : {SKIN_APP_ICON, SKIN_TRAY_ICON, SKIN_LIBRARY_ICON, SKIN_HAND_CURSOR}) {
            painter.drawPixmap(x, band.height() + 14, LoadResourceBitmap(id));
            x += 42;
        }
        painter.drawPixmap(380, band.height() + 60,
                           LoadResourceBitmap(SKIN_PICTURE_ONE)
                               .scaled(160, 107, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        painter.drawPixmap(16, 270, LoadResourceBitmap(SKIN_PICTURE_TWO));
        const QPixmap grip = LoadResourceBitmap(SKIN_SIZE_GRIP);
        const QPixmap largeGrip = LoadResourceBitmap(SKIN_SIZE_GRIP_LARGE);
        painter.drawPixmap(width() - largeGrip.width() - 30, height() - largeGrip.height(),
                           largeGrip);
        painter.drawPixmap(width() - grip.width(), height() - grip.height(), grip);
    }

private:
    static void Tile(QPainter& painter, const QPixmap& tile, const QRect& area) {
        painter.drawTiledPixmap(area, tile);
    }

    static void DrawListFrame(QPainter& painter, const QRect& list) {
        const QPixmap topLeft = LoadResourceBitmap(SKIN_LIST_TOP_LEFT);
        const int edge = topLeft.width();
        const QRect outer = list.adjusted(-edge, -edge, edge, edge);
        painter.fillRect(list, Qt::white);
        Tile(painter, LoadResourceBitmap(SKIN_LIST_TOP_EDGE),
             QRect(list.left(), outer.top(), list.width(), edge));
        Tile(painter, LoadResourceBitmap(SKIN_LIST_BOTTOM_EDGE),
             QRect(list.left(), list.bottom() + 1, list.width(), edge));
        Tile(painter, LoadResourceBitmap(SKIN_LIST_LEFT_EDGE),
             QRect(outer.left(), list.top(), edge, list.height()));
        Tile(painter, LoadResourceBitmap(SKIN_LIST_RIGHT_EDGE),
             QRect(list.right() + 1, list.top(), edge, list.height()));
        painter.drawPixmap(outer.topLeft(), topLeft);
        painter.drawPixmap(list.right() + 1, outer.top(), LoadResourceBitmap(SKIN_LIST_TOP_RIGHT));
        painter.drawPixmap(outer.left(), list.bottom() + 1,
                           LoadResourceBitmap(SKIN_LIST_BOTTOM_LEFT));
        painter.drawPixmap(list.right() + 1, list.bottom() + 1,
                           LoadResourceBitmap(SKIN_LIST_BOTTOM_RIGHT));
        const QPixmap ornament = LoadResourceBitmap(SKIN_LIST_TOP_ORNAMENT);
        painter.drawPixmap(list.center().x() - ornament.width() / 2, outer.top(), ornament);
    }
};

const GalleryRegistrar registrar("skin", [] { return std::unique_ptr<QWidget>(new SkinSheet); });

} // namespace
