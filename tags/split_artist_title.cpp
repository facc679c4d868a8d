#include "tags/split_artist_title.h"

namespace {

bool BelongsToArtist(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ' ||
           (u >= '\t' && u <= '\r') || u == '&' || u == '\'';
}

QString TrimSpaces(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ') {
        ++start;
    }
    while (end > start && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(start, end - start);
}

} // namespace

ArtistTitle SplitArtistTitle(const QString& name) {
    ArtistTitle result;
    qsizetype separator = 0;
    while (separator < name.size() && BelongsToArtist(name[separator])) {
        ++separator;
    }
    if (separator < name.size()) {
        result.artist = name.left(separator);
        result.title = name.mid(separator + 1);
    } else {
        result.title = name;
    }
    const qsizetype dot = result.title.lastIndexOf(u'.');
    if (dot >= 0 && !result.title.mid(dot).contains(u'/') &&
        !result.title.mid(dot).contains(u'\\')) {
        result.title.truncate(dot);
    }
    result.artist = TrimSpaces(result.artist);
    result.title = TrimSpaces(result.title);
    return result;
}
