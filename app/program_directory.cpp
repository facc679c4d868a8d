#include "app/program_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>

namespace {

std::mutex directoryMutex;
QString programDirectory;

QString WithSlash(const QString& directory) {
    return directory.endsWith('/') ? directory : directory + '/';
}

} // namespace

QString FindProgramDirectory() {
    const QString executableDir = QCoreApplication::applicationDirPath();
    if (!executableDir.isEmpty() && QFileInfo(executableDir).isWritable()) {
        return WithSlash(executableDir);
    }
    QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return WithSlash(dataDir);
}

QString ProgramDirectory() {
    std::lock_guard lock(directoryMutex);
    if (programDirectory.isEmpty()) {
        programDirectory = FindProgramDirectory();
    }
    return programDirectory;
}

void SetProgramDirectory(const QString& directory) {
    std::lock_guard lock(directoryMutex);
    programDirectory = WithSlash(directory);
}
