#include "app/settings_store.h"

#include <QSettings>

namespace {

// Kept only in the main key or the named group.
class QSettingsStore : public SettingsStore {
public:
    explicit QSettingsStore(std::unique_ptr<QSettings> settings) : settings(std::move(settings)) {
        // Written to a temporary file and renamed (QSaveFile), never in place:
        // a kill during a write leaves the old file whole.
        this->settings->setAtomicSyncRequired(true);
    }

    std::optional<QVariant> Read(const QString& group, const QString& name) const override {
        const QString key = group.isEmpty() ? name : group + '/' + name;
        if (!settings->contains(key)) {
            return std::nullopt;
        }
        return settings->value(key);
    }

    bool Write(const QString& group, const QString& name, const QVariant& value) override {
        if (!settings->isWritable()) {
            return false;
        }
        settings->setValue(group.isEmpty() ? name : group + '/' + name, value);
        return true;
    }

    void Flush() override { settings->sync(); }

private:
    std::unique_ptr<QSettings> settings;
};

} // namespace

std::unique_ptr<SettingsStore> OpenSettingsKey() {
    return std::make_unique<QSettingsStore>(
        std::make_unique<QSettings>(QStringLiteral("Brindlecap"), QStringLiteral("Encoder")));
}

std::unique_ptr<SettingsStore> OpenSettingsFile(const QString& path) {
    return std::make_unique<QSettingsStore>(
        std::make_unique<QSettings>(path, QSettings::IniFormat));
}

std::unique_ptr<SettingsStore> OpenSettings(const QString& path) {
    return path.isEmpty() ? OpenSettingsKey() : OpenSettingsFile(path);
}

std::uint32_t ReadDword(const SettingsStore& store, const QString& name, std::uint32_t defaultValue,
                        const QString& group) {
    const std::optional<QVariant> value = store.Read(group, name);
    if (!value) {
        return defaultValue;
    }
    bool ok = false;
    const qlonglong number = value->toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > UINT32_MAX) {
        return defaultValue;
    }
    return static_cast<std::uint32_t>(number);
}

QString ReadString(const SettingsStore& store, const QString& name, const QString& defaultValue,
                   int maxLength, const QString& group) {
    const std::optional<QVariant> value = store.Read(group, name);
    if (!value || !value->canConvert<QString>()) {
        return defaultValue;
    }
    return value->toString().left(maxLength);
}

bool WriteDword(SettingsStore& store, const QString& name, std::uint32_t value) {
    return store.Write(QString(), name, QVariant::fromValue(value));
}

bool WriteSignedDword(SettingsStore& store, const QString& name, std::int32_t value) {
    return store.Write(QString(), name, QVariant::fromValue(value));
}

bool WriteString(SettingsStore& store, const QString& name, const QString& text) {
    return store.Write(QString(), name, text);
}
