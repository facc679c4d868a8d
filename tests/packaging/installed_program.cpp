#include "packaging/installed_program.h"

#include "support/free_port.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

namespace packagingtest {

Ran RunTool(const QString& program, const QStringList& arguments, const QString& workingDirectory,
            const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Ran ran;
    if (process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit) {
        ran.exitCode = process.exitCode();
    }
    ran.said = QString::fromUtf8(process.readAll());
    return ran;
}

QProcessEnvironment ScratchHome::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), Path(QStringLiteral("xdg")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

Encoded ScratchHome::Encode(const QString& program, std::uint32_t manufacturerId,
                            std::uint32_t productId) {
    const QString source = Path(QStringLiteral("in"));
    const QString output = Path(QStringLiteral("out"));
    for (const QString& folder : {source, output, Path(QStringLiteral("xdg"))}) {
        QDir().mkpath(folder);
    }
    {
        QSettings settings(Path(QStringLiteral("config/Brindlecap/Encoder.conf")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("From Dir"), source);
        settings.setValue(QStringLiteral("To Dir"), output);
        settings.setValue(QStringLiteral("Workers"), 1);
        settings.setValue(QStringLiteral("Manufacturer ID"), manufacturerId);
        settings.setValue(QStringLiteral("Product ID"), productId);
        settings.setValue(QStringLiteral("Channels"), 2);
        settings.setValue(QStringLiteral("BytesPerSec"), 16000);
    }
    const QString name = QStringLiteral("tone%1-%2").arg(manufacturerId).arg(productId);
    const QString wav = source + u'/' + name + QStringLiteral(".wav");
    testsupport::WriteFile(wav.toStdString(),
                           testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100));
    QFile::remove(Path(QStringLiteral("debug.txt")));
    const Ran ran = RunTool(program,
                            QStringList{"--headless", "-log"} +
                                testsupport::LoopbackServingOptions() + QStringList{wav},
                            home.path(), Environment());
    EXPECT_EQ(ran.exitCode, 0) << program.toStdString() << ": " << ran.said.toStdString();
    Encoded encoded;
    QFile trace(Path(QStringLiteral("debug.txt")));
    QFile mp3(output + u'/' + name + QStringLiteral(".MP3"));
    if (trace.open(QIODevice::ReadOnly)) {
        encoded.trace = QString::fromUtf8(trace.readAll());
    }
    if (mp3.open(QIODevice::ReadOnly)) {
        encoded.output = mp3.readAll();
    }
    return encoded;
}

} // namespace packagingtest
