#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int NO_GENRE = -1;

// The name of ID3v1 genre `number` (0 to 125), or "" for any other number.
QString GenreName(int number);

// The genre numbers in the order of a list sorted by name without regard to
// case: the order the genre list shows and searches.
const std::vector<int>& SortedGenreNumbers();

// The genre a stored genre text selects: "(n" selects genre n when n is 0 to
// 125; other text selects the first genre of the sorted list whose name
// begins with it, without regard to case. NO_GENRE when nothing fits.
int GenreSelectionForText(std::string_view genre);

// The stored text of a selected genre: "(n)", or "" for NO_GENRE.
std::string GenreTextForSelection(int number);
