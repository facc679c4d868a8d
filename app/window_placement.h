#pragma once

#include "app/encoder_settings.h"

#include <QRect>
#include <QSize>

inline constexpr int MIN_WINDOW_WIDTH = 510;
inline constexpr int MIN_WINDOW_HEIGHT = 370;

struct WindowPlacement {
    QRect normal; // the restored rectangle
    bool maximised = false;
};

// Where the main window opens: the stored rectangle when it fits the screen,
// otherwise the window's own size (plus one) and/or a centred position.
WindowPlacement PlaceWindow(const QSize& screen, const QSize& window,
                            const EncoderSettings& settings);
