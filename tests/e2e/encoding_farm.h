#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace farm {

class NetLab;

// One headless program playing a machine of the farm: its own host name (in
// a UTS namespace of its own), address and settings file.
struct Machine {
    QString hostName; // as set with `hostname`
    QString name;     // as the server lists it
    QString address;
    QString settingsFile;
    QProcess process;
    QStringList lines;               // standard output so far, a line each
    QStringList errors;              // standard error so far
    std::vector<QJsonObject> events; // the lines that are JSON events
    QString pending;
    QString pendingErrors;

    // Lines whose second field is `what`, first fields only.
    QStringList FilesWith(const QString& what) const;
    // JSON events of that name.
    std::vector<QJsonObject> Events(const QString& event) const;
    void Read();
    QString Output() const { return (lines + errors).join(u'\n'); }
};

// What a machine is started with beyond its role.
struct MachineOptions {
    int workers = 1;
    bool json = false;
    QVariantMap settings; // more settings ("Auto Encode", "Throughput/Name", ...)
    QString setup;        // shell commands run on the machine before the program
    QStringList arguments;
    QProcessEnvironment environment; // added to the farm's environment
    bool tableOfMounts = true;       // clients read the farm's written mount table
};

// A server sharing its source and output folders as \\HOST\MUSIC and clients
// that mount that share. Without a lab all run on this host on loopback
// addresses: the server exports the share through a Samba configuration
// file, the clients see it through a written mount table, and the program
// reads both from files named in its environment. With a lab each machine is
// one of its namespaces, on the lab's addresses and the program's own port.
class EncodingFarm {
public:
    // Host names can only be given to processes when this runs as root and
    // `unshare --uts` works; `why` says what is missing.
    static bool CanNameHosts(QString* why);

    // Builds the folders and tables under `root`; the program is `encoder`.
    EncodingFarm(const QString& root, const QString& encoder, std::uint16_t port,
                 NetLab* lab = nullptr);
    // Every machine still running is killed.
    ~EncodingFarm();

    QString Root() const { return root; }
    QString ShareDir() const { return root + "/share"; }
    QString SourceDir() const { return root + "/share/in"; }
    QString OutputDir() const { return root + "/share/out"; }
    // Silent CD-quality WAVs in `folder` (the source folder by default) that
    // take no room on disk, however long: a header and a hole.
    QStringList MakeSilentWavs(const QStringList& names, int seconds,
                               const QString& folder = QString());

    // Starts the server with the given files (none: it watches its folder),
    // or a client on `address` logging into it (in a lab the address is the
    // lab's).
    Machine& StartServer(const QString& hostName, const QStringList& files,
                         const MachineOptions& options = MachineOptions());
    Machine& StartClient(const QString& hostName, const QString& address, int workers = 1);
    Machine& StartClient(const QString& hostName, const MachineOptions& options);

    // Serves the processes' output for a while.
    void Poll(int milliseconds = 20);
    // Polls until `done` holds; false after `limitMs`.
    bool WaitFor(const std::function<bool()>& done, int limitMs);

private:
    Machine& Start(const QString& hostName, const QString& address, bool client,
                   const QStringList& files, const MachineOptions& options);
    QProcessEnvironment Environment(bool client, const MachineOptions& options) const;

    QString root;
    QString encoder;
    std::uint16_t port;
    NetLab* lab;
    QString serverAddress = QStringLiteral("127.0.0.1");
    std::vector<std::unique_ptr<Machine>> machines;
};

// Bytes of 16-bit stereo PCM the MP3 decodes to (ffmpeg); -1 when it does not
// decode. `clean`: the decoder said nothing.
qint64 DecodedBytes(const QString& mp3, bool* clean = nullptr);

} // namespace farm
