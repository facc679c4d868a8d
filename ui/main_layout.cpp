#include "ui/main_layout.h"

#include "queue/main_view.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int BUTTON_WIDTH = 62;
constexpr int BUTTON_HEIGHT = 50;
constexpr int SMALL_BUTTON_WIDTH = 28;
constexpr int SMALL_BUTTON_HEIGHT = 24;
constexpr int BUTTON_GAP = 6;
constexpr int BUTTON_MARGIN = 4;
constexpr int FACE_WIDTH = 654;
constexpr int FACE_HEIGHT = 429;
constexpr int ROW_HEIGHT = 16;
constexpr int BUTTON_TOP = 370;

// The captioned buttons, left to right.
constexpr int BUTTON_ORDER[] = {ID_ERRORS, ID_CLEAR_ALL, ID_CANCEL,  ID_ADD_FILES, ID_ENCODE,
                                ID_PAUSE,  ID_OPTIONS,   ID_NETWORK, ID_QUIT};

std::vector<TemplateControl> TemplateControls() {
    std::vector<TemplateControl> controls = {
        {ID_FILE_LIST, ControlKind::List, QRect(14, 42, 626, 186), 15, nullptr},
        {ID_UP, ControlKind::ImageButton, QRect(548, 238, 28, 24), 10, nullptr},
        {ID_DOWN, ControlKind::ImageButton, QRect(580, 238, 28, 24), 10, nullptr},
        {ID_REMOVE, ControlKind::ImageButton, QRect(612, 238, 28, 24), 10, nullptr},
        {ID_FROM_CAPTION, ControlKind::Label, QRect(14, 240, 110, ROW_HEIGHT), 9,
         "Encode Files From:"},
        {ID_SOURCE_DIR_LABEL, ControlKind::Value, QRect(128, 240, 404, ROW_HEIGHT), 11, nullptr},
        {ID_TO_CAPTION, ControlKind::Label, QRect(14, 258, 110, ROW_HEIGHT), 9, "Output Files To:"},
        {ID_OUTPUT_DIR_LABEL, ControlKind::Value, QRect(128, 258, 404, ROW_HEIGHT), 11, nullptr},
        {ID_CODEC_LABEL, ControlKind::Value, QRect(14, 276, 626, ROW_HEIGHT), 11, nullptr},
        {ID_COUNTER_LABEL, ControlKind::Label, QRect(14, 294, 130, ROW_HEIGHT), 9,
         "Encoding File:"},
        {ID_CURRENT_FILE_LABEL, ControlKind::Value, QRect(148, 294, 336, ROW_HEIGHT), 11, nullptr},
        {ID_FILE_TIME_LABEL, ControlKind::Value, QRect(488, 294, 152, ROW_HEIGHT), 10, nullptr},
        {ID_PROGRESS_BAR, ControlKind::Progress, QRect(14, 313, 626, 14), 11, nullptr},
        {ID_RATIO_CAPTION, ControlKind::Label, QRect(14, 332, 214, ROW_HEIGHT), 9,
         "Conversion Time To Real Time Ratio:"},
        {ID_RATIO_LABEL, ControlKind::Value, QRect(232, 332, 90, ROW_HEIGHT), 9, nullptr},
        {ID_REMAINING_CAPTION, ControlKind::Label, QRect(14, 350, 214, ROW_HEIGHT), 9,
         "Estimated Total Time Remaining:"},
        {ID_REMAINING_LABEL, ControlKind::Value, QRect(232, 350, 90, ROW_HEIGHT), 9, nullptr},
        {ID_MACHINES_LABEL, ControlKind::Value, QRect(488, 350, 152, ROW_HEIGHT), 10, nullptr},
    };
    const int count = static_cast<int>(std::size(BUTTON_ORDER));
    const int groupWidth = count * BUTTON_WIDTH + (count - 1) * BUTTON_GAP;
    int x = (FACE_WIDTH - groupWidth) / 2;
    for (int id : BUTTON_ORDER) {
        controls.push_back({id, ControlKind::Button,
                            QRect(x, BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT), 24, nullptr});
        x += BUTTON_WIDTH + BUTTON_GAP;
    }
    return controls;
}

int Scaled(int value, double scale) {
    return static_cast<int>(std::lround(value * scale));
}

QRect Scaled(const QRect& rect, double scale) {
    return QRect(Scaled(rect.x(), scale), Scaled(rect.y(), scale), Scaled(rect.width(), scale),
                 Scaled(rect.height(), scale));
}

} // namespace

const TemplateControl* MainLayout::Find(int id) const {
    for (const TemplateControl& control : controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

MainLayout MakeMainLayout(bool largeFonts, double scale, QSize frameExtra) {
    MainLayout layout;
    layout.largeFonts = largeFonts;
    layout.scale = largeFonts ? std::max(scale, 1.0) : 1.0;
    const double s = layout.scale;
    layout.faceSize = QSize(Scaled(FACE_WIDTH, s), Scaled(FACE_HEIGHT, s));
    layout.windowSize = layout.faceSize + frameExtra;
    for (TemplateControl control : TemplateControls()) {
        control.rect = Scaled(control.rect, s);
        layout.controls.push_back(control);
    }
    layout.buttonGap = Scaled(BUTTON_GAP, s);
    layout.buttonMargin = Scaled(BUTTON_MARGIN, s);
    layout.columnWidths = {Scaled(150, s), Scaled(170, s), Scaled(120, s), Scaled(70, s),
                           Scaled(110, s)};
    // The captioned buttons keep their pictures' size, so the narrowest face
    // is the row of them touching plus the margins.
    const int count = static_cast<int>(std::size(BUTTON_ORDER));
    const int rowWidth = count * Scaled(BUTTON_WIDTH, s) + 2 * layout.buttonMargin;
    const QSize specified = largeFonts ? QSize(770, 410) : QSize(510, 370);
    layout.minimumWindow =
        QSize(std::max(specified.width(), rowWidth + frameExtra.width()), specified.height());
    return layout;
}

QRect AnchoredRect(const QRect& original, int anchors, QSize templateFace, QSize face) {
    const int dx = face.width() - templateFace.width();
    const int dy = face.height() - templateFace.height();
    QRect rect = original;
    if ((anchors & ANCHOR_CENTRE) != 0) {
        rect.translate(dx / 2, 0);
    } else if ((anchors & (ANCHOR_LEFT | ANCHOR_RIGHT)) == (ANCHOR_LEFT | ANCHOR_RIGHT)) {
        rect.setWidth(std::max(0, rect.width() + dx));
    } else if ((anchors & ANCHOR_RIGHT) != 0) {
        rect.translate(dx, 0);
    }
    if ((anchors & (ANCHOR_TOP | ANCHOR_BOTTOM)) == (ANCHOR_TOP | ANCHOR_BOTTOM)) {
        rect.setHeight(std::max(0, rect.height() + dy));
    } else if ((anchors & ANCHOR_BOTTOM) != 0) {
        rect.translate(0, dy);
    }
    return rect;
}

std::vector<QRect> CentredButtonRow(const std::vector<QRect>& buttons, int gap, int margin,
                                    int faceWidth, int top) {
    std::vector<QRect> placed;
    if (buttons.empty()) {
        return placed;
    }
    int total = 0;
    for (const QRect& button : buttons) {
        total += button.width();
    }
    const int gaps = static_cast<int>(buttons.size()) - 1;
    const int room = faceWidth - 2 * margin - total;
    const int usedGap = gaps > 0 ? std::clamp(room / gaps, 0, gap) : 0;
    int x = (faceWidth - (total + gaps * usedGap)) / 2;
    for (const QRect& button : buttons) {
        placed.emplace_back(x, top, button.width(), button.height());
        x += button.width() + usedGap;
    }
    return placed;
}
