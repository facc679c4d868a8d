#pragma once

#include <QString>
#include <string>
#include <string_view>

// Record text is UTF-8; a record from before may hold Latin-1 bytes, which
// are not valid UTF-8 and read as Latin-1.
QString TagText(std::string_view bytes);
// The UTF-8 bytes of a text (the record's fields cut them at their limits).
std::string TagBytes(const QString& text);

// The text in Latin-1 for the fixed single-byte fields of an ID3v1 trailer:
// a letter outside it loses its accents where that makes it fit, anything
// else becomes '?'; a text with no letter or digit left is empty.
std::string Latin1Fallback(const QString& text);
