#pragma once

#include <array>

// Resource ids of the skin pictures (":/skin/<id>.png").

// A skinned button's four pictures are consecutive, base to base + 3; the
// button takes them as normal = base + 3, pressed = base + 1, disabled = base,
// focused = base + 2.
struct SkinButtonSet {
    int controlId;
    const char* caption; // empty: image only
    int base;

    int Normal() const { return base + 3; }
    int Pressed() const { return base + 1; }
    int Disabled() const { return base; }
    int Focused() const { return base + 2; }
};

inline constexpr std::array<SkinButtonSet, 13> MAIN_WINDOW_BUTTONS = {{
    {8, "&Add Files", 181},
    {10, "&Clear All", 185},
    {7, "", 189},
    {1006, "", 193},
    {1, "Encode", 197},
    {13, "Errors", 201},
    {12, "&Network", 205},
    {5, "&Options", 209},
    {6, "&Pause", 213},
    {6, "&Resume", 221}, // the Pause button while paused
    {2, "&Quit", 217},
    {9, "Canc&el", 225},
    {1007, "", 229},
}};

inline constexpr int SKIN_ENCODE_HALO = 254; // drawn centred on the Encode button
inline constexpr int SKIN_TOP_BAND = 233;    // across the top, left-aligned; fades out to the right

// The frame around the file list: corners, edge tiles repeated along the
// edges, and an ornament centred on the top edge.
inline constexpr int SKIN_LIST_TOP_LEFT = 263;
inline constexpr int SKIN_LIST_TOP_RIGHT = 256;
inline constexpr int SKIN_LIST_BOTTOM_LEFT = 264;
inline constexpr int SKIN_LIST_BOTTOM_RIGHT = 268;
inline constexpr int SKIN_LIST_TOP_ORNAMENT = 269;
inline constexpr int SKIN_LIST_TOP_EDGE = 259;
inline constexpr int SKIN_LIST_LEFT_EDGE = 261;
inline constexpr int SKIN_LIST_RIGHT_EDGE = 262;
inline constexpr int SKIN_LIST_BOTTOM_EDGE = 257;

inline constexpr int SKIN_SIZE_GRIP = 255;
inline constexpr int SKIN_SIZE_GRIP_LARGE = 265;

inline constexpr int SKIN_APP_ICON = 128;
inline constexpr int SKIN_TRAY_ICON = 131;
inline constexpr int SKIN_LIBRARY_ICON = 146;
inline constexpr int SKIN_PICTURE_ONE = 147;
inline constexpr int SKIN_PICTURE_TWO = 152;
inline constexpr int SKIN_HAND_CURSOR = 370;
inline constexpr int SKIN_HAND_HOTSPOT_X = 10;
inline constexpr int SKIN_HAND_HOTSPOT_Y = 1;

// A sample full/empty pair for the bitmap-pair progress style.
inline constexpr int SKIN_PROGRESS_FULL = 901;
inline constexpr int SKIN_PROGRESS_EMPTY = 902;
