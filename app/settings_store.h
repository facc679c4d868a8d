#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

// Where the settings live: a small key-value interface so that tests can use
// an in-memory or temporary store. Names are value names within a group ("" is
// the main key, "Throughput" the sub-key). Failures are silent by design.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<QVariant> Read(const QString& group, const QString& name) const = 0;
    virtual bool Write(const QString& group, const QString& name, const QVariant& value) = 0;
    // Pushes pending writes to their storage.
    virtual void Flush() = 0;
};

// The user's settings through QSettings in native format (a registry key on
// Windows, ~/.config/Brindlecap/Encoder.conf on Linux).
std::unique_ptr<SettingsStore> OpenSettingsKey();
// The same over an explicit INI file (tests, and the headless mode's --settings).
std::unique_ptr<SettingsStore> OpenSettingsFile(const QString& path);
// The file when one is named, the user's settings otherwise.
std::unique_ptr<SettingsStore> OpenSettings(const QString& path);

// Typed access with the defaults of missing or unreadable values.
std::uint32_t ReadDword(const SettingsStore& store, const QString& name, std::uint32_t defaultValue,
                        const QString& group = QString());
QString ReadString(const SettingsStore& store, const QString& name, const QString& defaultValue,
                   int maxLength, const QString& group = QString());
bool WriteDword(SettingsStore& store, const QString& name, std::uint32_t value);
bool WriteSignedDword(SettingsStore& store, const QString& name, std::int32_t value);
bool WriteString(SettingsStore& store, const QString& name, const QString& text);
