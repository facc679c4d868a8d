#pragma once

#include <QPainter>
#include <QRectF>

// The symbols on the buttons, each drawn to fill `box` (about 20 x 20).
enum class Glyph {
    AddFiles,
    ClearAll,
    Remove,
    Down,
    Up,
    Encode,
    Errors,
    Network,
    Options,
    Pause,
    Resume,
    Quit,
    Cancel
};

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box);

// Shared colours of the skin.
namespace Skin {
inline const QColor WINDOW_GREY(198, 195, 198);
inline const QColor INK(52, 54, 64);
inline const QColor BLUE(46, 104, 178);
inline const QColor GREEN(46, 150, 72);
inline const QColor RED(200, 48, 44);
inline const QColor TEAL(0, 127, 127);
inline const QColor AMBER(240, 184, 40);
} // namespace Skin
