#include "app/window_placement.h"

WindowPlacement PlaceWindow(const QSize& screen, const QSize& window, const EncoderSettings& s) {
    int height = s.windowHeight;
    if (height < MIN_WINDOW_HEIGHT || height > screen.height()) {
        height = window.height() + 1;
    }
    int width = s.windowWidth;
    if (width < MIN_WINDOW_WIDTH || width > screen.width()) {
        width = window.width() + 1;
    }
    int left = s.windowLeft;
    int top = s.windowTop;
    const bool fits = left >= 0 && top >= 0 && left <= screen.width() - window.width() &&
                      top <= screen.height() - window.height();
    if (!fits) {
        left = (screen.width() - window.width()) / 2;
        top = (screen.height() - window.height()) / 2;
    }
    WindowPlacement placement;
    placement.normal = QRect(left, top, width, height);
    placement.maximised = s.client == 0 && s.windowState == WINDOW_STATE_MAXIMISED;
    return placement;
}
