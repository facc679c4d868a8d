#include "tags/genres.h"

#include "app/strings.h"
#include "tags/id3v1_trailer.h"
#include "tags/tag_text.h"

#include <algorithm>

QString GenreName(int number) {
    if (number < 0 || number >= int(GENRE_COUNT)) {
        return {};
    }
    return ResString(IDS_FIRST_GENRE + unsigned(number));
}

const std::vector<int>& SortedGenreNumbers() {
    static const std::vector<int> order = [] {
        std::vector<int> numbers(GENRE_COUNT);
        for (int n = 0; n < int(GENRE_COUNT); ++n) {
            numbers[n] = n;
        }
        std::stable_sort(numbers.begin(), numbers.end(), [](int a, int b) {
            return GenreName(a).compare(GenreName(b), Qt::CaseInsensitive) < 0;
        });
        return numbers;
    }();
    return order;
}

int GenreSelectionForText(std::string_view genre) {
    if (genre.empty()) {
        return NO_GENRE;
    }
    if (const auto number = GenreNumberInParentheses(genre)) {
        return *number < GENRE_COUNT ? int(*number) : NO_GENRE;
    }
    const QString prefix = TagText(genre);
    for (int number : SortedGenreNumbers()) {
        if (GenreName(number).startsWith(prefix, Qt::CaseInsensitive)) {
            return number;
        }
    }
    return NO_GENRE;
}

std::string GenreTextForSelection(int number) {
    if (number < 0) {
        return {};
    }
    return "(" + std::to_string(number) + ")";
}
