#include "e2e/encoding_farm.h"

#include "queue/machine_name.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>

namespace farm {

namespace {

constexpr char SERVER_ADDRESS[] = "127.0.0.1";
constexpr char SHARE[] = "MUSIC";

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text);
    }
}

} // namespace

QStringList Machine::FilesWith(const QString& what) const {
    QStringList files;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() >= 2 && fields[1] == what) {
            files << fields[0];
        }
    }
    return files;
}

void Machine::Read() {
    pending += QString::fromUtf8(process.readAllStandardOutput());
    qsizetype end = 0;
    while ((end = pending.indexOf(u'\n')) >= 0) {
        lines << pending.left(end);
        pending.remove(0, end + 1);
    }
}

bool EncodingFarm::CanNameHosts(QString* why) {
    if (geteuid() != 0) {
        *why = QStringLiteral("giving each machine its own host name needs root (unshare --uts)");
        return false;
    }
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                {"--uts", "sh", "-c", "hostname corvaneprobe && hostname"});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0 ||
        !probe.readAllStandardOutput().startsWith("corvaneprobe")) {
        *why = QStringLiteral("unshare --uts does not work here");
        return false;
    }
    return true;
}

EncodingFarm::EncodingFarm(const QString& root, const QString& encoder, std::uint16_t port)
    : root(root), encoder(encoder), port(port) {
    QDir().mkpath(SourceDir());
    QDir().mkpath(OutputDir());
    QDir().mkpath(root + "/config");
    // The server exports the share; the clients mount it from the server.
    WriteText(root + "/smb.conf", QByteArray("[global]\n   workgroup = FARM\n\n[") + SHARE +
                                      "]\n   path = " + QFile::encodeName(root + "/share") +
                                      "\n   read only = no\n");
    WriteText(root + "/no-mounts", QByteArray());
}

QStringList EncodingFarm::MakeWavs(int count, int seconds, int firstSeconds) {
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path =
            SourceDir() + QStringLiteral("/track%1.wav").arg(i + 1, 2, 10, QChar(u'0'));
        testsupport::PcmFormat format;
        const int length = (i == 0 && firstSeconds > 0) ? firstSeconds : seconds;
        const testsupport::Bytes wav =
            testsupport::MakePcmWav(format, static_cast<std::uint32_t>(length) * format.sampleRate);
        testsupport::WriteFile(path.toStdString(), wav);
        files << path;
    }
    return files;
}

QProcessEnvironment EncodingFarm::Environment(bool client) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", root + "/config");
    environment.insert("XDG_DATA_HOME", root + "/data");
    environment.insert("XDG_RUNTIME_DIR", root);
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("CORVANE_USERSHARES", root + "/no-usershares");
    if (client) {
        environment.insert("CORVANE_MOUNTINFO", root + "/mounts");
        environment.insert("CORVANE_SMB_CONF", root + "/no-smb.conf");
    } else {
        environment.insert("CORVANE_MOUNTINFO", root + "/no-mounts");
        environment.insert("CORVANE_SMB_CONF", root + "/smb.conf");
    }
    return environment;
}

Machine& EncodingFarm::StartServer(const QString& hostName, const QStringList& files) {
    // What the clients mount: the server's share.
    WriteText(root + "/mounts", "36 25 0:50 / " + QFile::encodeName(root + "/share") +
                                    " rw,relatime - cifs //" + hostName.toLower().toUtf8() + "/" +
                                    SHARE + " rw\n");
    return Start(hostName, QString::fromLatin1(SERVER_ADDRESS), false, files);
}

Machine& EncodingFarm::StartClient(const QString& hostName, const QString& address, int workers) {
    return Start(hostName, address, true, {}, workers);
}

Machine& EncodingFarm::Start(const QString& hostName, const QString& address, bool client,
                             const QStringList& files, int workers) {
    auto machine = std::make_unique<Machine>();
    machine->hostName = hostName;
    machine->name = CapitalizeName(hostName);
    machine->address = address;
    machine->settingsFile = root + "/" + hostName + ".ini";
    const QString home = client ? root + "/" + hostName : root + "/share";
    QDir().mkpath(home + "/in");
    QDir().mkpath(home + "/out");
    {
        QSettings settings(machine->settingsFile, QSettings::IniFormat);
        settings.setValue("From Dir", home + "/in");
        settings.setValue("To Dir", home + "/out");
        settings.setValue("Workers", workers);
        settings.setValue("Client", client ? 1 : 0);
        settings.setValue("Server IP", client ? QString::fromLatin1(SERVER_ADDRESS) : QString());
        settings.sync();
    }
    QStringList arguments{"--uts",
                          "sh",
                          "-c",
                          "hostname \"$0\" && exec \"$@\"",
                          hostName,
                          encoder,
                          "--headless",
                          "--settings",
                          machine->settingsFile,
                          "--bind",
                          address,
                          "--port",
                          QString::number(port)};
    arguments << files;
    machine->process.setProcessEnvironment(Environment(client));
    machine->process.setWorkingDirectory(root);
    machine->process.setProcessChannelMode(QProcess::SeparateChannels);
    machine->process.setStandardErrorFile(root + "/" + hostName + ".stderr");
    machine->process.start(QStringLiteral("unshare"), arguments);
    machine->process.waitForStarted();
    machines.push_back(std::move(machine));
    return *machines.back();
}

void EncodingFarm::Poll(int milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
    QThread::msleep(static_cast<unsigned long>(milliseconds));
    for (auto& machine : machines) {
        machine->Read();
    }
}

qint64 DecodedBytes(const QString& mp3) {
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-i", mp3, "-f", "s16le", "-ac", "2", "-ar", "44100", "-"});
    if (!decode.waitForFinished(30000) || decode.exitCode() != 0) {
        return -1;
    }
    return decode.readAllStandardOutput().size();
}

} // namespace farm
