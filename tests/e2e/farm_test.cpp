// A server and two clients as separate programs on loopback, each with its own
// host name, sharing the server's folders through share and mount tables.
#include "e2e/encoding_farm.h"
#include "support/free_port.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

#include <signal.h>

namespace {

constexpr int FILES = 8;
constexpr int SECONDS_PER_FILE = 30;
// The server starts on this one alone; the clients log in while it runs.
constexpr int FIRST_FILE_SECONDS = 180;
constexpr int BATCH_LIMIT_MS = 120000;

bool HasEntry(const QStringList& keys, const QString& name) {
    return keys.contains(name, Qt::CaseInsensitive);
}

// Machines named in their own namespaces, in a scratch folder of their own.
class EncodingFarm : public testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!farm::EncodingFarm::CanNameHosts(&why)) {
            GTEST_SKIP() << why.toStdString();
        }
        ASSERT_TRUE(root.isValid());
        machines = std::make_unique<farm::EncodingFarm>(
            root.path(), QString::fromUtf8(CORVANE_ENCODER), testsupport::FreePort());
    }

    QTemporaryDir root;
    std::unique_ptr<farm::EncodingFarm> machines;
};

} // namespace

TEST_F(EncodingFarm, SpreadsABatchOverThreeMachinesAndSurvivesAClientKilledMidFile) {
    const QStringList files = machines->MakeWavs(FILES, SECONDS_PER_FILE, FIRST_FILE_SECONDS);

    farm::Machine& server = machines->StartServer("SERVERBOX", files);
    farm::Machine& first = machines->StartClient("NODEONE", "127.0.0.2");
    farm::Machine& second = machines->StartClient("NODETWO", "127.0.0.3");

    // The client that starts a second file is killed in the middle of it, so
    // that it has a stored rate from its first file as well.
    farm::Machine* killed = nullptr;
    QString killedFile;
    QElapsedTimer clock;
    clock.start();
    while (server.process.state() != QProcess::NotRunning && clock.elapsed() < BATCH_LIMIT_MS) {
        machines->Poll();
        for (farm::Machine* client : {&first, &second}) {
            const QStringList started = client->FilesWith("Encoding for server");
            if (killed == nullptr && started.size() == 2) {
                client->process.kill();
                client->process.waitForFinished(5000);
                killed = client;
                killedFile = started.last();
            }
        }
    }
    ASSERT_EQ(server.process.state(), QProcess::NotRunning) << "the batch did not end in time";
    machines->Poll();
    EXPECT_EQ(server.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.process.exitCode(), 0) << server.lines.join('\n').toStdString();
    ASSERT_NE(killed, nullptr) << "no client was given a second file\n"
                               << server.lines.join('\n').toStdString();
    farm::Machine& survivor = killed == &first ? second : first;

    // Every file completed once, on the server's books.
    const QStringList completed = server.FilesWith("Completed");
    EXPECT_EQ(completed.size(), FILES) << server.lines.join('\n').toStdString();
    for (const QString& file : files) {
        EXPECT_EQ(completed.count(file), 1) << file.toStdString();
    }
    // The killed client's file went out once more, to a machine that lived;
    // no other file was handed out twice.
    QMap<QString, QStringList> takers;
    for (const QString& line : server.lines) {
        const QStringList fields = line.split('\t');
        if (fields.size() == 3 && fields[1] == "Handed out") {
            takers[fields[0]] << fields[2];
        }
    }
    EXPECT_TRUE(takers.value(killedFile).contains(killed->name, Qt::CaseInsensitive));
    for (auto it = takers.begin(); it != takers.end(); ++it) {
        const int toLiving = int(it.value().size()) - int(it.value().count(killed->name));
        EXPECT_LE(toLiving, 1) << it.key().toStdString();
    }
    // Each machine did some of the work.
    EXPECT_GE(survivor.FilesWith("Completed").size(), 1);
    EXPECT_GE(killed->FilesWith("Completed").size(), 1);
    EXPECT_LT(survivor.FilesWith("Completed").size() + killed->FilesWith("Completed").size(),
              FILES);

    // Every output is whole, and nothing else is left in the output folder.
    const QStringList outputs = QDir(machines->OutputDir()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(outputs.size(), FILES) << outputs.join(' ').toStdString();
    for (const QString& file : files) {
        const QString mp3 =
            machines->OutputDir() + "/" + QFileInfo(file).completeBaseName() + ".MP3";
        const int seconds = file == files.first() ? FIRST_FILE_SECONDS : SECONDS_PER_FILE;
        const qint64 pcmBytes = qint64(seconds) * 44100 * 4;
        EXPECT_GE(farm::DecodedBytes(mp3), pcmBytes * 9 / 10) << mp3.toStdString();
    }
    // The server stored a rate for itself and for both clients.
    QSettings settings(server.settingsFile, QSettings::IniFormat);
    settings.beginGroup("Throughput");
    const QStringList rates = settings.childKeys();
    EXPECT_TRUE(HasEntry(rates, server.name)) << rates.join(' ').toStdString();
    EXPECT_TRUE(HasEntry(rates, first.name)) << rates.join(' ').toStdString();
    EXPECT_TRUE(HasEntry(rates, second.name)) << rates.join(' ').toStdString();

    // The surviving client stops cleanly when asked.
    ::kill(pid_t(survivor.process.processId()), SIGTERM);
    ASSERT_TRUE(survivor.process.waitForFinished(15000));
    EXPECT_EQ(survivor.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(survivor.process.exitCode(), 0);
}

// A client with two workers logs in twice ("Nodeone" and "Nodeone#2") and
// encodes two of the server's files at once.
TEST_F(EncodingFarm, AClientWithTwoWorkersTakesTwoFilesAtOnce) {
    const QStringList files = machines->MakeWavs(FILES, 60, FIRST_FILE_SECONDS);
    farm::Machine& server = machines->StartServer("SERVERBOX", files);
    farm::Machine& client = machines->StartClient("NODEONE", "127.0.0.2", 2);
    QElapsedTimer clock;
    clock.start();
    while (server.process.state() != QProcess::NotRunning && clock.elapsed() < BATCH_LIMIT_MS) {
        machines->Poll();
    }
    ASSERT_EQ(server.process.state(), QProcess::NotRunning) << "the batch did not end in time";
    machines->Poll(200);
    EXPECT_EQ(server.process.exitCode(), 0) << server.lines.join('\n').toStdString();
    const QStringList completed = server.FilesWith("Completed");
    EXPECT_EQ(completed.size(), FILES) << server.lines.join('\n').toStdString();

    QStringList takers;
    for (const QString& line : server.lines) {
        const QStringList fields = line.split('\t');
        if (fields.size() == 3 && fields[1] == "Handed out") {
            takers << fields[2];
        }
    }
    EXPECT_TRUE(takers.contains("Nodeone", Qt::CaseInsensitive)) << takers.join(' ').toStdString();
    EXPECT_TRUE(takers.contains("Nodeone#2", Qt::CaseInsensitive))
        << takers.join(' ').toStdString();
    // Two jobs ran on the client at one time.
    int running = 0;
    int mostAtOnce = 0;
    for (const QString& line : client.lines) {
        const QString what = line.section('\t', 1, 1);
        if (what == "Encoding for server") {
            mostAtOnce = std::max(mostAtOnce, ++running);
        } else if (!what.isEmpty() && running > 0) {
            --running;
        }
    }
    EXPECT_EQ(mostAtOnce, 2) << client.lines.join('\n').toStdString();
    const QStringList outputs = QDir(machines->OutputDir()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(outputs.size(), FILES) << outputs.join(' ').toStdString();
    for (const QString& file : files) {
        const QString mp3 =
            machines->OutputDir() + "/" + QFileInfo(file).completeBaseName() + ".MP3";
        const int seconds = file == files.first() ? FIRST_FILE_SECONDS : 60;
        EXPECT_GE(farm::DecodedBytes(mp3), qint64(seconds) * 44100 * 4 * 9 / 10)
            << mp3.toStdString();
    }
    ::kill(pid_t(client.process.processId()), SIGTERM);
    ASSERT_TRUE(client.process.waitForFinished(15000));
    EXPECT_EQ(client.process.exitCode(), 0);
}
