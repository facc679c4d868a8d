#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <vector>

// Anchor flags of a control: how it follows a resize of the window.
inline constexpr int ANCHOR_LEFT = 1;
inline constexpr int ANCHOR_RIGHT = 2;
inline constexpr int ANCHOR_TOP = 4;
inline constexpr int ANCHOR_BOTTOM = 8;
inline constexpr int ANCHOR_CENTRE = 16;

inline constexpr int ID_PROGRESS_PLACE = 1156;
inline constexpr int ID_FILE_LIST = 1161;
inline constexpr int ID_FROM_CAPTION = 1027;
inline constexpr int ID_TO_CAPTION = 1028;
inline constexpr int ID_RATIO_CAPTION = 1030;
inline constexpr int ID_REMAINING_CAPTION = 1031;

enum class ControlKind { List, ImageButton, Button, Label, Value, Progress };

// One control of the window's template: where it sits in the face (the
// client area below the caption) at the template's size.
struct TemplateControl {
    int id;
    ControlKind kind;
    QRect rect;
    int anchors;
    const char* text; // fixed label texts; null for the rest
};

// A window layout: the face size it was drawn for, its controls, the default
// list column widths and the smallest window it may be tracked to.
struct MainLayout {
    bool largeFonts = false;
    double scale = 1.0;
    QSize faceSize;
    QSize windowSize; // with caption and frame
    QSize minimumWindow;
    std::vector<TemplateControl> controls;
    std::array<int, 5> columnWidths{};
    int buttonGap = 0; // between the captioned buttons at the template size
    int buttonMargin = 0;

    const TemplateControl* Find(int id) const;
};

// Template 102 (up to 96 dots per inch) or 154 (above), scaled by dpi / 96.
// `frameExtra` is what the caption and frame add to the face.
MainLayout MakeMainLayout(bool largeFonts, double scale, QSize frameExtra);

// Where an anchored control goes when the face changes from the template's
// size to `face`.
QRect AnchoredRect(const QRect& original, int anchors, QSize templateFace, QSize face);

// The captioned buttons as a centred group along the bottom: the template's
// gap while there is room, narrower gaps (down to touching) when not.
std::vector<QRect> CentredButtonRow(const std::vector<QRect>& buttons, int gap, int margin,
                                    int faceWidth, int top);
