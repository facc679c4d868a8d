#include "e2e/encoding_farm.h"

#include "e2e/net_lab.h"
#include "queue/machine_name.h"
#include "support/outside_tools.h"
#include "support/program_process.h"
#include "support/text_file.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

namespace farm {

namespace {

constexpr char SHARE[] = "MUSIC";

using testsupport::WriteText;

void TakeLines(QString& pending, const QByteArray& bytes, QStringList& lines) {
    pending += QString::fromUtf8(bytes);
    qsizetype end = 0;
    while ((end = pending.indexOf(u'\n')) >= 0) {
        lines << pending.left(end);
        pending.remove(0, end + 1);
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

std::vector<QJsonObject> Machine::Events(const QString& event) const {
    std::vector<QJsonObject> found;
    for (const QJsonObject& object : events) {
        if (object.value("event").toString() == event) {
            found.push_back(object);
        }
    }
    return found;
}

void Machine::Read() {
    const qsizetype before = lines.size();
    TakeLines(pending, process.readAllStandardOutput(), lines);
    TakeLines(pendingErrors, process.readAllStandardError(), errors);
    for (qsizetype i = before; i < lines.size(); ++i) {
        if (lines[i].startsWith(u'{')) {
            events.push_back(QJsonDocument::fromJson(lines[i].toUtf8()).object());
        }
    }
}

bool EncodingFarm::CanNameHosts(QString* why) {
    if (geteuid() != 0) {
        *why = QStringLiteral("giving each machine its own host name needs root (unshare --uts)");
        return false;
    }
    const ToolRun probe =
        RunTool("unshare", {"--uts", "sh", "-c", "hostname corvaneprobe && hostname"});
    if (!probe.ok || !probe.out.startsWith("corvaneprobe")) {
        *why = QStringLiteral("unshare --uts does not work here");
        return false;
    }
    return true;
}

EncodingFarm::EncodingFarm(const QString& root, const QString& encoder, std::uint16_t port,
                           NetLab* lab)
    : root(root), encoder(encoder), port(port), lab(lab) {
    QDir().mkpath(SourceDir());
    QDir().mkpath(OutputDir());
    QDir().mkpath(root + "/config");
    // The server exports the share; the clients mount it from the server.
    WriteText(root + "/smb.conf", QByteArray("[global]\n   workgroup = FARM\n\n[") + SHARE +
                                      "]\n   path = " + QFile::encodeName(ShareDir()) +
                                      "\n   read only = no\n");
    WriteText(root + "/no-mounts", QByteArray());
}

EncodingFarm::~EncodingFarm() {
    // Outside a lab a machine is the program itself: stopped as a user stops it,
    // it ends its run cleanly. In a lab, or if that fails, it is killed.
    for (auto& machine : machines) {
        if (lab == nullptr) {
            machine->process.terminate();
        }
    }
    for (auto& machine : machines) {
        if (machine->process.state() != QProcess::NotRunning &&
            (lab != nullptr || !machine->process.waitForFinished(10000))) {
            machine->process.kill();
            machine->process.waitForFinished(10000);
        }
    }
}

QStringList EncodingFarm::MakeSilentWavs(const QStringList& names, int seconds,
                                         const QString& folder) {
    QStringList files;
    for (const QString& name : names) {
        files << (folder.isEmpty() ? SourceDir() : folder) + u'/' + name;
        testsupport::WriteSilentWav(files.last().toStdString(), std::uint32_t(seconds));
    }
    return files;
}

QProcessEnvironment EncodingFarm::Environment(bool client, const MachineOptions& options) const {
    QProcessEnvironment environment = testsupport::ProgramEnvironment(root);
    environment.insert("CORVANE_USERSHARES", root + "/no-usershares");
    if (client) {
        if (options.tableOfMounts) {
            environment.insert("CORVANE_MOUNTINFO", root + "/mounts");
        }
        environment.insert("CORVANE_SMB_CONF", root + "/no-smb.conf");
    } else {
        environment.insert("CORVANE_MOUNTINFO", root + "/no-mounts");
        environment.insert("CORVANE_SMB_CONF", root + "/smb.conf");
    }
    environment.insert(options.environment);
    return environment;
}

Machine& EncodingFarm::StartServer(const QString& hostName, const QStringList& files,
                                   const MachineOptions& options) {
    // What the clients mount: the server's share.
    WriteText(root + "/mounts", "36 25 0:50 / " + QFile::encodeName(ShareDir()) +
                                    " rw,relatime - cifs //" + hostName.toLower().toUtf8() + "/" +
                                    SHARE + " rw\n");
    if (lab != nullptr) {
        serverAddress = lab->AddMachine(hostName);
    }
    return Start(hostName, serverAddress, false, files, options);
}

Machine& EncodingFarm::StartClient(const QString& hostName, const QString& address, int workers) {
    MachineOptions options;
    options.workers = workers;
    options.arguments = {"--bind", address};
    return Start(hostName, address, true, {}, options);
}

Machine& EncodingFarm::StartClient(const QString& hostName, const MachineOptions& options) {
    const QString address = lab != nullptr ? lab->AddMachine(hostName) : QString();
    return Start(hostName, address, true, {}, options);
}

Machine& EncodingFarm::Start(const QString& hostName, const QString& address, bool client,
                             const QStringList& files, const MachineOptions& options) {
    auto machine = std::make_unique<Machine>();
    machine->hostName = hostName;
    machine->name = CapitalizeName(hostName.left(15));
    machine->address = address;
    machine->settingsFile = root + "/" + hostName + ".ini";
    const QString home = client ? root + "/" + hostName : ShareDir();
    QVariantMap settings{{"Client", client ? 1 : 0},
                         {"Server IP", client ? serverAddress : QString()}};
    settings.insert(options.settings);
    testsupport::WriteProgramSettings(machine->settingsFile, home + "/in", home + "/out",
                                      options.workers, settings);
    QStringList arguments{encoder, "--headless", "--settings", machine->settingsFile};
    if (lab == nullptr && !client) {
        arguments << "--bind" << address;
    }
    arguments << "--port" << QString::number(port) << options.arguments;
    if (options.json) {
        arguments << "--json";
    }
    arguments << files;
    machine->process.setWorkingDirectory(root);
    machine->process.setProcessChannelMode(QProcess::SeparateChannels);
    if (lab != nullptr) {
        // Not `exec`: the shell stays the first process of the machine and
        // reaps what the setup started.
        const QString script = options.setup.isEmpty()
                                   ? QStringLiteral("\"$@\"")
                                   : options.setup + QStringLiteral(" && \"$@\"");
        lab->Start(machine->process, hostName, hostName, script, arguments,
                   Environment(client, options));
    } else {
        machine->process.setProcessEnvironment(Environment(client, options));
        machine->process.start(
            QStringLiteral("unshare"),
            QStringList{"--uts", "sh", "-c", "hostname \"$0\" && exec \"$@\"", hostName} +
                arguments);
        machine->process.waitForStarted();
    }
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

bool EncodingFarm::WaitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) {
            return false;
        }
        Poll();
    }
    return true;
}

qint64 DecodedBytes(const QString& mp3, bool* clean) {
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-i", mp3, "-f", "s16le", "-ac", "2", "-ar", "44100", "-"});
    qint64 bytes = 0;
    QElapsedTimer clock;
    clock.start();
    // Counted as it comes: a long file decodes to hundreds of megabytes.
    while ((decode.state() != QProcess::NotRunning || decode.bytesAvailable() > 0) &&
           clock.elapsed() < 120000) {
        decode.waitForReadyRead(1000);
        bytes += decode.readAllStandardOutput().size();
    }
    if (decode.state() != QProcess::NotRunning) {
        decode.kill();
        decode.waitForFinished();
        return -1;
    }
    if (clean != nullptr) {
        *clean = decode.readAllStandardError().trimmed().isEmpty();
    }
    return decode.exitStatus() == QProcess::NormalExit && decode.exitCode() == 0 ? bytes : -1;
}

} // namespace farm
