#include "app/output_path.h"

#include <QDir>

namespace {

bool IsSeparator(QChar c) {
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\';
#else
    return c == u'/';
#endif
}

qsizetype LastSeparator(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (IsSeparator(path[i])) {
            return i;
        }
    }
    return -1;
}

QString NormalisedDirectory(const QString& directory) {
    QString clean = QDir::cleanPath(QDir::fromNativeSeparators(directory));
    while (clean.size() > 1 && clean.endsWith(u'/')) {
        clean.chop(1);
    }
    return clean;
}

} // namespace

bool SameDirectoryText(const QString& first, const QString& second) {
    return NormalisedDirectory(first).compare(NormalisedDirectory(second), Qt::CaseInsensitive) ==
           0;
}

QString MakeOutputPath(const QString& sourcePath, const QString& outputDirectory,
                       const QString& sourceDirectory, bool renameToMp3) {
    const qsizetype separator = LastSeparator(sourcePath);
    QString fileName = sourcePath.mid(separator + 1);
    const QString ownDirectory = separator >= 0 ? sourcePath.left(separator + 1) : QString();

    // With renaming off the extension stays, which is only safe while the
    // output cannot be the source itself; a file added from the output
    // directory (not through "From Dir") would otherwise be overwritten.
    const bool keepName =
        !renameToMp3 && !SameDirectoryText(outputDirectory, sourceDirectory) &&
        (ownDirectory.isEmpty() || !SameDirectoryText(outputDirectory, ownDirectory));
    if (!keepName) {
        const qsizetype dot = fileName.lastIndexOf(u'.');
        if (dot >= 0) {
            fileName.truncate(dot);
        }
        fileName += QStringLiteral(".MP3");
    }

    QString result = outputDirectory;
    if (!result.isEmpty() && !IsSeparator(result.back())) {
        result += u'/';
    }
    return result + fileName;
}

QString MakeOutputPath(const QString& sourcePath, const EncoderSettings& settings,
                       const QString& programDirectory) {
    return MakeOutputPath(sourcePath, OutputDirectory(settings, programDirectory),
                          SourceDirectory(settings, programDirectory), settings.renameToMp3 != 0);
}
