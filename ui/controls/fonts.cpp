#include "ui/controls/fonts.h"

#include "ui/controls/display_caps.h"

#include <array>
#include <memory>

namespace {

constexpr std::array<SharedFontEntry, SHARED_FONT_COUNT> FONT_TABLE = {{
    {"MS Sans Serif", 8, 400},
    {"MS Sans Serif", 12, 700},
    {"MS Sans Serif", 8, 700},
    {"Courier New", 9, 400},
    {"Wingdings", 12, 700},
    {"Tahoma", 8, 400},
    {"Tahoma", 8, 700},
    {"Tahoma", 8.5, 400},
    {"Tahoma", 8.5, 700},
    {"Tahoma", 10, 400},
    {"Tahoma", 10, 700},
    {"Tahoma", 12, 400},
    {"Tahoma", 12, 700},
    {"Tahoma", 14, 400},
    {"Tahoma", 14, 700},
    {"Tahoma", 16, 700},
    {"Tahoma", 24, 400},
}};

// Faces missing on the machine fall back to an installed face of the same kind.
QFont::StyleHint HintForFace(const QString& face) {
    if (face.contains(QLatin1String("Courier"))) {
        return QFont::TypeWriter;
    }
    if (face == QLatin1String("Wingdings")) {
        return QFont::Decorative;
    }
    return QFont::SansSerif;
}

} // namespace

const SharedFontEntry* SharedFontDescription(int index) {
    if (index < 0 || index >= SHARED_FONT_COUNT) {
        return nullptr;
    }
    return &FONT_TABLE[static_cast<size_t>(index)];
}

QFont MakeDisplayFont(const QString& face, double points, int weight) {
    QFont font(face);
    font.setStyleHint(HintForFace(face));
    const int height = FontHeightForPoints(points, CurrentDisplayCaps().dotsPerInch);
    font.setPixelSize(height < 0 ? -height : qMax(height, 1));
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

const QFont* GetSharedFont(int index) {
    static std::array<std::unique_ptr<QFont>, SHARED_FONT_COUNT> fonts;
    const SharedFontEntry* entry = SharedFontDescription(index);
    if (entry == nullptr) {
        return nullptr;
    }
    auto& slot = fonts[static_cast<size_t>(index)];
    if (!slot) {
        slot = std::make_unique<QFont>(
            MakeDisplayFont(QString::fromLatin1(entry->face), entry->points, entry->weight));
    }
    return slot.get();
}
