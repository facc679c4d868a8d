#include "tags/tag_target.h"

#include "app/output_path.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

bool IsTagFileBusy(int status) {
    return status == TAG_STATUS_ENCODING || status == TAG_STATUS_PAUSED;
}

QString FindOutputMp3(const QString& outputPath, const QString& sourcePath,
                      const QString& outputDirectory, const QString& sourceDirectory,
                      bool renameToMp3) {
    if (!outputPath.isEmpty()) {
        return outputPath;
    }
    return MakeOutputPath(sourcePath, outputDirectory, sourceDirectory, renameToMp3);
}

QString FindOutputMp3(const TagFileTarget& target) {
    return FindOutputMp3(target.outputPath, target.sourcePath, target.outputDirectory,
                         target.sourceDirectory, target.renameToMp3);
}

bool IsReadWritableFile(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    return ::stat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(name.constData(), R_OK | W_OK) == 0;
}
