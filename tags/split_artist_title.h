#pragma once

#include <QString>

struct ArtistTitle {
    QString artist;
    QString title;
};

// Artist and title from a file name without directory: the first character
// that is not a letter or digit (of any script, with its accent marks), white
// space, '&' or '\'' separates them (no such character: no artist, the whole name is the title);
// the title loses its extension unless a slash follows the last dot; both lose leading and trailing
// spaces.
ArtistTitle SplitArtistTitle(const QString& name);
