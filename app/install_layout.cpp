#include "app/install_layout.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

// The packaging rules define these from the install directories chosen at
// configure time; the defaults are the usual layout.
#ifndef CORVANE_INSTALL_PROGRAM_FOLDER
#define CORVANE_INSTALL_PROGRAM_FOLDER "lib/corvane-encoder"
#endif
#ifndef CORVANE_INSTALL_DATA_FOLDER
#define CORVANE_INSTALL_DATA_FOLDER "share/corvane-encoder"
#endif
#ifndef CORVANE_INSTALL_BIN_FOLDER
#define CORVANE_INSTALL_BIN_FOLDER "bin"
#endif

namespace {

// The part of `directory` before a trailing `folder`, or empty.
QString StripFolder(const QString& directory, const QString& folder) {
    const QString suffix = QLatin1Char('/') + QDir::cleanPath(folder);
    if (folder.isEmpty() || !directory.endsWith(suffix)) {
        return QString();
    }
    const QString prefix = directory.left(directory.size() - suffix.size());
    return prefix.isEmpty() ? QStringLiteral("/") : prefix;
}

} // namespace

QString InstallProgramFolder() {
    return QStringLiteral(CORVANE_INSTALL_PROGRAM_FOLDER);
}

QString InstallDataFolder() {
    return QStringLiteral(CORVANE_INSTALL_DATA_FOLDER);
}

QString InstallBinFolder() {
    return QStringLiteral(CORVANE_INSTALL_BIN_FOLDER);
}

QString InstallPrefixOf(const QString& programDirectory) {
    if (programDirectory.isEmpty()) {
        return QString();
    }
    const QString directory = QDir::cleanPath(QDir(programDirectory).absolutePath());
    const QString fromProgram = StripFolder(directory, InstallProgramFolder());
    return fromProgram.isEmpty() ? StripFolder(directory, InstallBinFolder()) : fromProgram;
}

QString InstalledDataDirectory(const QString& programDirectory) {
    const QString prefix = InstallPrefixOf(programDirectory);
    if (prefix.isEmpty()) {
        return QString();
    }
    const QString data = QDir(prefix).filePath(InstallDataFolder());
    return QFileInfo(data).isDir() ? data : QString();
}

QString InstalledLibraryDirectory(const QString& programDirectory) {
    const QString prefix = InstallPrefixOf(programDirectory);
    if (prefix.isEmpty()) {
        return QString();
    }
    const QString folder = QDir(prefix).filePath(InstallProgramFolder());
    const QString own = QDir::cleanPath(QDir(programDirectory).absolutePath());
    return QFileInfo(folder).isDir() && QDir::cleanPath(folder) != own ? folder : QString();
}

QString RegisteredExternalEncoderFolder(const QString& programDirectory) {
    const QString data = InstalledDataDirectory(programDirectory);
    if (data.isEmpty()) {
        return QString();
    }
    const QString file = QDir(data).filePath(QString::fromLatin1(X3ENC_REGISTRATION_FILE));
    if (!QFileInfo(file).isFile()) {
        return QString();
    }
    const QSettings registration(file, QSettings::IniFormat);
    const QVariant value = registration.value(QStringLiteral("Path"));
    if (!value.isValid() || value.typeId() != QMetaType::QString || value.toString().isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QDir(data).absoluteFilePath(value.toString()));
}
