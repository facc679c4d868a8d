#include "engines/catalogue_sources.h"

#include "app/install_layout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

CatalogueSources DefaultCatalogueSources(std::function<bool(int library)> isLibraryAvailable) {
    CatalogueSources sources;
    sources.isLibraryAvailable = std::move(isLibraryAvailable);
    sources.externalEncoderFolder = []() -> std::optional<QString> {
        const QSettings settings(QSettings::SystemScope, QStringLiteral("Xing Technology Corp."),
                                 QStringLiteral("XingMP3 Encoder"));
        const QVariant value = settings.value(QStringLiteral("Path"));
        const bool machineWide = value.isValid() && value.typeId() == QMetaType::QString;
        // The machine-wide setting wins while its folder holds the program; an
        // installed copy brings its own registration for when it does not.
        if (machineWide &&
            QFileInfo(QDir(value.toString()).filePath(ExternalEncoderFileName())).isFile()) {
            return value.toString();
        }
        if (QCoreApplication::instance() != nullptr) {
            const QString registered =
                RegisteredExternalEncoderFolder(QCoreApplication::applicationDirPath());
            if (!registered.isEmpty()) {
                return registered;
            }
        }
        return machineWide ? std::optional<QString>(value.toString()) : std::nullopt;
    };
    return sources;
}

QString ExternalEncoderFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("x3enc.exe");
#else
    return QStringLiteral("x3enc");
#endif
}
