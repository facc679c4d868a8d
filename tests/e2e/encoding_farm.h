#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace farm {

// One headless program playing a machine of the farm: its own host name (in
// a UTS namespace of its own), loopback address and settings file.
struct Machine {
    QString hostName; // as set with `hostname`
    QString name;     // as the server lists it
    QString address;
    QString settingsFile;
    QProcess process;
    QStringList lines; // standard output so far, a line each
    QString pending;

    // Lines whose second field is `what`, first fields only.
    QStringList FilesWith(const QString& what) const;
    void Read();
};

// A server sharing its source and output folders as \\HOST\MUSIC and clients
// that mount that share, all on this host: the server exports the share
// through a Samba configuration file, the clients see it through a mount
// table, and the program reads both from files named in its environment.
class EncodingFarm {
public:
    // Host names can only be given to processes when this runs as root and
    // `unshare --uts` works; `why` says what is missing.
    static bool CanNameHosts(QString* why);

    // Builds the folders and tables under `root`; the program is `encoder`.
    EncodingFarm(const QString& root, const QString& encoder, std::uint16_t port);

    QString SourceDir() const { return root + "/share/in"; }
    QString OutputDir() const { return root + "/share/out"; }
    // `count` CD-quality tones of `seconds` each in the source folder; the
    // first one lasts `firstSeconds` when that is given.
    QStringList MakeWavs(int count, int seconds, int firstSeconds = 0);

    // Starts the server on 127.0.0.1 with the given files, or a client on
    // `address` logging into it.
    Machine& StartServer(const QString& hostName, const QStringList& files);
    // `workers`: files the client encodes at once.
    Machine& StartClient(const QString& hostName, const QString& address, int workers = 1);

    // Serves the processes' output for a while.
    void Poll(int milliseconds = 20);
    std::vector<std::unique_ptr<Machine>>& Machines() { return machines; }

private:
    Machine& Start(const QString& hostName, const QString& address, bool client,
                   const QStringList& files, int workers = 1);
    QProcessEnvironment Environment(bool client) const;

    QString root;
    QString encoder;
    std::uint16_t port;
    std::vector<std::unique_ptr<Machine>> machines;
};

// Bytes of 16-bit stereo PCM the MP3 decodes to (ffmpeg); -1 when it does not decode.
qint64 DecodedBytes(const QString& mp3);

} // namespace farm
