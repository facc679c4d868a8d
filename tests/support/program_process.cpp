#include "support/program_process.h"

#include "support/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace testsupport {

QProcessEnvironment ProgramEnvironment(const QString& root) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", root + "/config");
    environment.insert("XDG_DATA_HOME", root + "/data");
    environment.insert("XDG_RUNTIME_DIR", root);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

void WriteProgramSettings(const QString& file, const QString& from, const QString& to, int workers,
                          const QVariantMap& more) {
    QDir().mkpath(from);
    QDir().mkpath(to);
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue("From Dir", from);
    settings.setValue("To Dir", to);
    settings.setValue("Workers", workers);
    for (auto it = more.begin(); it != more.end(); ++it) {
        settings.setValue(it.key(), it.value());
    }
}

QString ReadProgramErrorLog(const QString& program) {
    return QString::fromUtf8(ReadText(QFileInfo(program).absolutePath() + "/error.log"));
}

} // namespace testsupport
