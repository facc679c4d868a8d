#pragma once

#include <QString>

// The string table: every user-visible text by id. An unknown id gives "".
inline constexpr unsigned IDS_ABOUTBOX = 101;
inline constexpr unsigned IDS_TRAY_TIP = 131;
inline constexpr unsigned IDS_APP_TITLE = 33007;
inline constexpr unsigned IDS_FIRST_GENRE = 33045; // genre n has id 33045 + n
inline constexpr unsigned GENRE_COUNT = 126;

// The table's text itself (static storage).
const char* FindResString(unsigned id);
// The text as a QString.
QString ResString(unsigned id);

// Two independent 512-byte buffers, so a caller can hold two texts at once
// (a message and its caption). Each text stays valid until the next load into
// the same buffer. Main thread only.
const char* LoadResString(unsigned id);
const char* LoadResString2(unsigned id);
