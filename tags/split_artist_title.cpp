#include "tags/split_artist_title.h"

namespace {

// Letters and digits of any script belong to a name, with the marks that
// decomposed accents are written with.
bool BelongsToArtist(char32_t c) {
    return QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == ' ' || (c >= '\t' && c <= '\r') ||
           c == '&' || c == '\'';
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
    qsizetype separatorLength = 1;
    while (separator < name.size()) {
        char32_t c = name[separator].unicode();
        separatorLength = 1;
        if (name[separator].isHighSurrogate() && separator + 1 < name.size() &&
            name[separator + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[separator], name[separator + 1]);
            separatorLength = 2;
        }
        if (!BelongsToArtist(c)) {
            break;
        }
        separator += separatorLength;
    }
    if (separator < name.size()) {
        result.artist = name.left(separator);
        result.title = name.mid(separator + separatorLength);
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
