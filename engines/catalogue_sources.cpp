#include "engines/catalogue_sources.h"

#include <QSettings>

CatalogueSources DefaultCatalogueSources(std::function<bool(int library)> isLibraryAvailable) {
    CatalogueSources sources;
    sources.isLibraryAvailable = std::move(isLibraryAvailable);
    sources.externalEncoderFolder = []() -> std::optional<QString> {
        const QSettings settings(QSettings::SystemScope, QStringLiteral("Xing Technology Corp."),
                                 QStringLiteral("XingMP3 Encoder"));
        const QVariant value = settings.value(QStringLiteral("Path"));
        if (!value.isValid() || value.typeId() != QMetaType::QString) {
            return std::nullopt;
        }
        return value.toString();
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
