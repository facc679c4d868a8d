// The programs as the machines of an encoding farm: a server and its clients,
// each a process with its own host name, on loopback or on a network of
// namespaces whose cables the test can pull.
#include "e2e/encoding_farm.h"
#include "e2e/net_lab.h"
#include "support/free_port.h"
#include "support/program_process.h"
#include "support/text_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace {

constexpr int LOGIN_LIMIT_MS = 60000;
// A watching server starts a batch at its next look at the folder (30 s).
constexpr int BATCH_START_LIMIT_MS = 90000;
constexpr int BATCH_LIMIT_MS = 240000;
constexpr qint64 BYTES_PER_SECOND = 44100 * 4;

// A field of the server's events of one kind about `file`, in order.
QStringList About(const farm::Machine& server, const QString& file, const char* event,
                  const char* field) {
    QStringList values;
    for (const QJsonObject& object : server.Events(QString::fromLatin1(event))) {
        if (object.value("file").toString() == file) {
            values << object.value(QLatin1String(field)).toString();
        }
    }
    return values;
}

QStringList Outcomes(const farm::Machine& server, const QString& file) {
    return About(server, file, "finished", "outcome");
}

QStringList Takers(const farm::Machine& server, const QString& file) {
    return About(server, file, "handed_out", "machine");
}

// New lines of standard error since `from` hold `text`.
bool SaidSince(const farm::Machine& machine, qsizetype from, const QString& text) {
    return machine.errors.mid(from).contains(text);
}

// Stored rates, as the program keeps them: the 8 bytes of a little-endian double each.
void SetRates(farm::MachineOptions& options,
              std::initializer_list<std::pair<const char*, double>> rates) {
    for (const auto& [name, rate] : rates) {
        QByteArray bytes(sizeof rate, '\0');
        std::memcpy(bytes.data(), &rate, sizeof rate);
        options.settings.insert(QStringLiteral("Throughput/") + name, bytes);
    }
}

// A server watching its folder (Auto Encode), reporting in JSON.
farm::MachineOptions WatchingServer() {
    farm::MachineOptions options;
    options.json = true;
    options.settings.insert("Auto Encode", 1);
    return options;
}

// Files named by `pattern` and 1 to `count` appear in the watched folder at once, whole.
QStringList Drop(farm::EncodingFarm& farm, const char* pattern, int count, int seconds) {
    const QString staging = farm.Root() + "/staging";
    QDir().mkpath(staging);
    QStringList names;
    for (int i = 1; i <= count; ++i) {
        names << QString::fromLatin1(pattern).arg(i);
    }
    QStringList files;
    for (const QString& made : farm.MakeSilentWavs(names, seconds, staging)) {
        const QString file = farm.SourceDir() + u'/' + QFileInfo(made).fileName();
        QFile::rename(made, file);
        files << file;
    }
    return files;
}

QString Mp3Of(const farm::EncodingFarm& farm, const QString& wav) {
    return farm.OutputDir() + u'/' + QFileInfo(wav).completeBaseName() + ".MP3";
}

class EncodingFarm : public testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!farm::EncodingFarm::CanNameHosts(&why)) {
            GTEST_SKIP() << why.toStdString();
        }
        ASSERT_TRUE(root.isValid());
    }
    void MakeFarm(farm::NetLab* lab = nullptr) {
        machines = std::make_unique<farm::EncodingFarm>(
            root.path(), QString::fromUtf8(CORVANE_ENCODER),
            lab != nullptr ? 5150 : testsupport::FreePort(), lab);
    }

    QTemporaryDir root;
    std::unique_ptr<farm::EncodingFarm> machines; // before the lab goes
};

// Machines of their own on a network of namespaces.
class FarmOnANetwork : public EncodingFarm {
protected:
    void SetUp() override {
        EncodingFarm::SetUp();
        QString why;
        if (IsSkipped() || !farm::NetLab::Available(&why)) {
            GTEST_SKIP() << why.toStdString();
        }
        lab = std::make_unique<farm::NetLab>();
        MakeFarm(lab.get());
    }
    void TearDown() override {
        machines.reset();
        lab.reset();
    }

    std::unique_ptr<farm::NetLab> lab;
};

} // namespace

// A client with two workers logs in twice ("Nodeone", "Nodeone#2") and takes
// two files at once. The second worker is given a file that has been cut
// short since the server took it in: its error goes on its own connection,
// so the first worker's file finishes untouched, the cut one fails with the
// client's own sentence wherever it is tried, and the batch ends.
TEST_F(EncodingFarm, TwoWorkersOfAClientTakeTwoFilesAndEachReportsItsOwn) {
    MakeFarm();
    farm::MachineOptions options;
    options.json = true;
    options.arguments = {"--serve"};
    // Both workers of the client come before the server itself.
    SetRates(options, {{"Serverbox", 0.001}, {"Nodeone", 100.0}, {"Nodeone#2", 50.0}});
    // The server starts on the first file itself, before the client is there.
    const QStringList files =
        machines->MakeSilentWavs({"c-long.wav", "a-long.wav", "b-cut.wav", "d-long.wav"}, 600);
    farm::Machine& server = machines->StartServer("SERVERBOX", files, options);
    ASSERT_TRUE(
        machines->WaitFor([&] { return server.Events("admitted").size() == 4; }, LOGIN_LIMIT_MS))
        << server.Output().toStdString();
    const QString cut = files[2];
    ASSERT_TRUE(QFile::resize(cut, 100));
    farm::Machine& client = machines->StartClient("NODEONE", "127.0.0.2", 2);
    ASSERT_TRUE(machines->WaitFor([&] { return server.process.state() == QProcess::NotRunning; },
                                  BATCH_LIMIT_MS))
        << server.Output().toStdString();
    machines->Poll();

    EXPECT_EQ(server.process.exitCode(), 1) << server.Output().toStdString();
    EXPECT_EQ(Takers(server, files[1]), QStringList{"Nodeone"}) << server.Output().toStdString();
    EXPECT_EQ(Takers(server, cut).value(0), "Nodeone#2");
    EXPECT_EQ(Takers(server, files[3]), QStringList{"Nodeone#2"});
    EXPECT_EQ(Outcomes(server, cut), QStringList{"failed"});
    const QString log = testsupport::ReadProgramErrorLog(QString::fromUtf8(CORVANE_ENCODER));
    EXPECT_TRUE(log.contains("Nodeone#2: Couldn't get wave properties for " + cut))
        << log.toStdString();
    for (const QString& file : {files[0], files[1], files[3]}) {
        EXPECT_EQ(Outcomes(server, file), QStringList{"completed"}) << file.toStdString();
        EXPECT_GE(farm::DecodedBytes(Mp3Of(*machines, file)), 600 * BYTES_PER_SECOND * 99 / 100);
    }
    EXPECT_EQ(QDir(machines->OutputDir()).entryList(QDir::Files),
              (QStringList{"a-long.MP3", "c-long.MP3", "d-long.MP3"}));
    // Both workers' files were running on the client at one time.
    int running = 0;
    int mostAtOnce = 0;
    for (const QString& line : client.lines) {
        const QString what = line.section(u'\t', 1, 1);
        running += what == "Encoding for server" ? 1 : -1;
        mostAtOnce = std::max(mostAtOnce, running);
    }
    EXPECT_EQ(mostAtOnce, 2) << client.Output().toStdString();
}

// Mid-file, one client's cable is pulled: no close, no reset, just silence.
// The server notices within a minute and another machine encodes the file.
// The cut-off machine also hangs while its cable is out, so that whatever the
// speed of this host its file is unfinished when its own kernel gives the
// server up: then it drops the file and its partial output. Later the cable
// is plugged back and the client logs in again and takes work.
TEST_F(FarmOnANetwork, ACutCableIsNoticedAndTheClientComesBackForMore) {
    farm::MachineOptions options = WatchingServer();
    // The first file goes to the client whose cable is pulled.
    SetRates(options, {{"Farmserver", 0.001}, {"Nodea", 100.0}, {"Nodeb", 50.0}});
    farm::Machine& server = machines->StartServer("FARMSERVER", {}, options);
    farm::Machine& cut = machines->StartClient("NODEA", farm::MachineOptions());
    farm::Machine& other = machines->StartClient("NODEB", farm::MachineOptions());
    ASSERT_TRUE(machines->WaitFor(
        [&] { return SaidSince(server, 0, "network: 2 Machines Logged In"); }, LOGIN_LIMIT_MS))
        << server.Output().toStdString();
    farm::FolderWatch outputs(machines->OutputDir());
    ASSERT_TRUE(outputs.Valid());

    const QStringList files = Drop(*machines, "track%1.wav", 8, 300);
    ASSERT_TRUE(machines->WaitFor([&] { return !cut.FilesWith("Encoding for server").isEmpty(); },
                                  BATCH_START_LIMIT_MS))
        << server.Output().toStdString();
    const QString lost = cut.FilesWith("Encoding for server").first();
    farm::NetLab::Freeze(cut.process, true);
    ASSERT_TRUE(lab->SetLink("NODEA", false));
    QElapsedTimer sinceCut;
    sinceCut.start();
    const qsizetype before = server.errors.size();

    ASSERT_TRUE(machines->WaitFor(
        [&] { return SaidSince(server, before, "network: 1 Machine Logged In"); }, 120000))
        << server.Output().toStdString();
    const qint64 noticed = sinceCut.elapsed();
    RecordProperty("noticed_ms", int(noticed));
    EXPECT_LE(noticed, 60000) << "the silent machine was noticed after " << noticed << " ms";
    ASSERT_TRUE(
        machines->WaitFor([&] { return !server.Events("batch_finished").empty(); }, BATCH_LIMIT_MS))
        << server.Output().toStdString();

    // The cut-off machine's kernel gives up too; then it wakes.
    ASSERT_TRUE(machines->WaitFor([&] { return lab->Established("NODEA") == 0; }, 120000));
    farm::NetLab::Freeze(cut.process, false);
    ASSERT_TRUE(machines->WaitFor([&] { return cut.FilesWith("Cancelled").contains(lost); }, 60000))
        << cut.Output().toStdString();
    outputs.Poll();

    // Given to the cut-off client once, then to another client or encoded by
    // the server itself; every file once under its final name, whole.
    const QStringList takers = Takers(server, lost);
    EXPECT_EQ(takers.value(0), "Nodea");
    EXPECT_EQ(takers.count("Nodea"), 1) << server.Output().toStdString();
    for (const QString& file : files) {
        EXPECT_EQ(Outcomes(server, file), QStringList{"completed"}) << file.toStdString();
        const QString mp3 = Mp3Of(*machines, file);
        EXPECT_EQ(outputs.Arrivals(QFileInfo(mp3).fileName()), 1) << mp3.toStdString();
        EXPECT_GE(farm::DecodedBytes(mp3), 300 * BYTES_PER_SECOND * 99 / 100) << mp3.toStdString();
    }
    EXPECT_EQ(QDir(machines->OutputDir()).entryList(QDir::Files).size(), files.size())
        << QDir(machines->OutputDir()).entryList(QDir::Files).join(' ').toStdString();
    EXPECT_FALSE(other.FilesWith("Completed").isEmpty());
    EXPECT_TRUE(cut.FilesWith("Completed").isEmpty());

    // Plugged back, it logs in again and takes work.
    ASSERT_TRUE(lab->SetLink("NODEA", true));
    const qsizetype dropped = server.errors.size();
    ASSERT_TRUE(machines->WaitFor(
        [&] { return SaidSince(server, dropped, "network: 2 Machines Logged In"); }, 120000))
        << cut.Output().toStdString();
    Drop(*machines, "more%1.wav", 3, 60);
    EXPECT_TRUE(machines->WaitFor([&] { return cut.FilesWith("Encoding for server").size() == 2; },
                                  BATCH_START_LIMIT_MS))
        << server.Output().toStdString();
}

namespace {

// A Samba server of its own for the server machine: guests may use the share
// MUSIC (the farm's folders), and everything it keeps stays under `folder`.
QString WriteSambaConfig(const QString& folder, const QString& share) {
    QString config = "[global]\n   map to guest = Bad User\n   guest account = root\n"
                     "   disable netbios = yes\n   load printers = no\n   log level = 2\n";
    for (const char* key : {"private dir", "lock directory", "state directory", "cache directory",
                            "pid directory", "ncalrpc dir"}) {
        const QString sub = folder + u'/' + QString::fromLatin1(key).section(u' ', 0, 0);
        QDir().mkpath(sub);
        config += QStringLiteral("   %1 = %2\n").arg(QString::fromLatin1(key), sub);
    }
    config += "[music]\n   path = " + share +
              "\n   read only = no\n   guest ok = yes\n   force user = root\n";
    QFile file(folder + "/smb.conf");
    if (file.open(QIODevice::WriteOnly)) {
        file.write(config.toUtf8());
    }
    return file.fileName();
}

} // namespace

// The farm over a real SMB server: the server machine runs smbd and exports
// its folders; two clients, with no folder in common with it, mount the share
// with a FUSE SMB client and read and write everything through it. The
// server's host name is longer than a computer name, and the clients mount
// the share by the server's address.
TEST_F(FarmOnANetwork, ABatchTravelsOverSmbBetweenMachinesWithNoCommonFolder) {
    for (const char* tool : {"/usr/sbin/smbd", "/usr/bin/smbnetfs", "/dev/fuse"}) {
        if (!QFileInfo::exists(QString::fromLatin1(tool))) {
            GTEST_SKIP() << tool << " is missing (packages samba and smbnetfs, and FUSE)";
        }
    }
    const QString samba = WriteSambaConfig(root.filePath("samba"), machines->ShareDir());
    farm::MachineOptions serverOptions = WatchingServer();
    serverOptions.settings.insert("Delete When Done", 1);
    SetRates(serverOptions, {{"Encoding-Server", 0.001}});
    serverOptions.environment.insert("CORVANE_SMB_CONF", samba);
    serverOptions.setup =
        QStringLiteral("{ /usr/sbin/smbd --foreground --no-process-group --debug-stdout -s '%1' "
                       "> '%2/smbd.log' 2>&1 & } && for i in $(seq 200); do ss -Hltn "
                       "'sport = :445' | grep -q . && break; sleep 0.1; done")
            .arg(samba, root.path());
    farm::Machine& server = machines->StartServer("encoding-server-01", {}, serverOptions);

    std::vector<farm::Machine*> clients;
    for (const QString& name : {QStringLiteral("NODEA"), QStringLiteral("NODEB")}) {
        const QString home = root.filePath(name);
        farm::MachineOptions options;
        options.tableOfMounts = false; // the machine's own mounts
        options.environment.insert("HOME", home);
        // The server's folders are not there; only its share is, mounted.
        options.setup =
            QStringLiteral("mount -t tmpfs none '%1' && mkdir -p '%2/smb' '%2/.smb' && "
                           "touch '%2/.smb/smbnetfs.conf' && smbnetfs '%2/smb' && "
                           "for i in $(seq 100); do grep -q smbnetfs /proc/self/mountinfo && "
                           "break; sleep 0.1; done && ls -A '%1' > '%2.visible' && "
                           "grep smbnetfs /proc/self/mountinfo > '%2.mounts'")
                .arg(machines->ShareDir(), home);
        clients.push_back(&machines->StartClient(name, options));
    }
    ASSERT_TRUE(machines->WaitFor(
        [&] { return SaidSince(server, 0, "network: 2 Machines Logged In"); }, LOGIN_LIMIT_MS))
        << server.Output().toStdString() << clients[0]->Output().toStdString();

    const QStringList files = Drop(*machines, "song%1.wav", 6, 180);
    ASSERT_TRUE(machines->WaitFor([&] { return !server.Events("batch_finished").empty(); },
                                  BATCH_START_LIMIT_MS + BATCH_LIMIT_MS))
        << server.Output().toStdString() << clients[0]->Output().toStdString();

    const QString smbLog = QString::fromUtf8(testsupport::ReadText(root.filePath("smbd.log")));
    for (const QString& file : files) {
        EXPECT_EQ(Outcomes(server, file), QStringList{"completed"}) << file.toStdString();
        EXPECT_FALSE(QFileInfo::exists(file)) << "Delete When Done";
        const QString mp3 = Mp3Of(*machines, file);
        EXPECT_GE(farm::DecodedBytes(mp3), 180 * BYTES_PER_SECOND * 99 / 100) << mp3.toStdString();
        // A client's output went through smbd, under that client's own name.
        for (const QString& taker : Takers(server, file)) {
            const QString part = QStringLiteral("out/%1.MP3.%2.part")
                                     .arg(QFileInfo(file).completeBaseName(), taker.toLower());
            EXPECT_TRUE(smbLog.contains("opened file " + part + " read=No write=Yes"))
                << part.toStdString();
        }
    }
    // A client removes its write probe before it answers, so only the probe of an answer the
    // server stopped waiting for can still be there, until that client's check ends.
    QStringList outputs;
    EXPECT_TRUE(machines->WaitFor(
        [&] {
            outputs = QDir(machines->OutputDir()).entryList(QDir::Files);
            return outputs.size() == files.size();
        },
        10'000))
        << outputs.join(' ').toStdString();
    for (farm::Machine* client : clients) {
        EXPECT_FALSE(client->FilesWith("Completed").isEmpty()) << client->Output().toStdString();
        EXPECT_TRUE(smbLog.contains("ipv4:" + client->address)) << client->address.toStdString();
        EXPECT_TRUE(testsupport::ReadText(root.filePath(client->hostName + ".mounts"))
                        .contains("fuse.smbnetfs"));
        EXPECT_EQ(testsupport::ReadText(root.filePath(client->hostName + ".visible")),
                  QByteArray());
    }
}
