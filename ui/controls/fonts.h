#pragma once

#include <QFont>
#include <QString>

inline constexpr int SHARED_FONT_COUNT = 17;

struct SharedFontEntry {
    const char* face;
    double points;
    int weight; // 400 normal, 700 bold
};

// The description of a table entry; null outside 0..16.
const SharedFontEntry* SharedFontDescription(int index);

// A font of the shared table, created at its first request for the current
// display and kept for the rest of the run; null outside 0..16.
const QFont* GetSharedFont(int index);

// A font of the given face, size and weight, sized in pixels for the display
// (Windows-style negative heights become positive pixel sizes).
QFont MakeDisplayFont(const QString& face, double points, int weight);
