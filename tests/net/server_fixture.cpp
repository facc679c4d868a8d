#include "server_fixture.h"

#include "app/error_log.h"
#include "app/output_path.h"
#include "net/unc_tables.h"
#include "net_test_support.h"
#include "queue/admission.h"
#include "queue/machine_name.h"
#include "queue/wave_probe.h"

#include <QDir>
#include <QDirIterator>

namespace nettest {

void ServerTest::SetUp() {
    AppSandbox::SetUp();
    UseUncFiles(temp.path(), "[music]\n   path = " + temp.path().toUtf8() + "\n", {}, "srv");

    batch.ownName = QStringLiteral("Mypc");
    batch.localRate = 4.0;
    sink = std::make_unique<CNetSink>(&receiver);
    sockets = std::make_unique<CSocketWnd>(*sink);
    ASSERT_TRUE(sockets->SetBindAddress("127.0.0.1"));
    progress = std::make_unique<ProgressDisplay>(model, view, batch, clock);
    server = std::make_unique<ServerRole>(ServerRoleParts{model, view, batch, *progress, *app});
    scheduler = std::make_unique<EncodeScheduler>(EncodeScheduler::Parts{
        model, view, batch, *progress, *app, fake, fake, *server, clock, &receiver});
    scheduler->freeSpace = [](const QString&) { return std::uint64_t(0); };
    scheduler->fileFinished = [this](const QueueEntry& entry, FileOutcome outcome) {
        outcomes.append(QStringLiteral("%1:%2").arg(entry.name.str()).arg(int(outcome)));
    };
    fake.onDone = [this](bool ok, const QString& source) { scheduler->OnEncodeDone(ok, source); };
    server->Attach(*scheduler, sockets.get());
    server->SetWaitLimits(1000, 30000);
    server->fileHandedOut = [this](const QueueEntry& entry, const QString& machine) {
        handedOut.append(entry.name.str() + u':' + machine);
    };
    receiver.role = server.get();
    port = FreePort();
    ASSERT_TRUE(server->ServerStart(port));
}

void ServerTest::TearDown() {
    clients.clear();
    receiver.role = nullptr;
    scheduler->fileFinished = nullptr;
    server->fileHandedOut = nullptr;
    sockets.reset();
    SetUncTables(UncTables());
    AppSandbox::TearDown();
}

QueueEntry* ServerTest::AddWav(const QString& name, std::uint32_t frames,
                               const QString& directory) {
    AdmissionContext context;
    context.probe = ReadWaveFacts;
    context.outputPathOf = [this](const QString& path) {
        return MakeOutputPath(path, app->settings, app->programDirectory);
    };
    context.reportError = [](const QString& message) { AddError(message); };
    QueueEntry* entry = AddNewFile(model, MakeWav(name, frames, directory), context);
    if (entry != nullptr) {
        model.AddRowAtEnd(entry);
    }
    return entry;
}

FakeClient& ServerTest::Client(const QString& name, const char* from, int answer) {
    clients.push_back(std::make_unique<FakeClient>(name, from));
    FakeClient& client = *clients.back();
    client.defaultAnswer.code = answer;
    EXPECT_TRUE(client.Connect(port));
    EXPECT_TRUE(Pump([&] { return SlotOf(name) >= 0; })) << qPrintable(name);
    return client;
}

FakeClient& ServerTest::Rated(const QString& name, const char* from, double rate, int answer) {
    app->SaveThroughput(CapitalizeName(name), rate);
    return Client(name, from, answer);
}

QStringList ServerTest::Files() const {
    QStringList files;
    QDirIterator it(temp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QStringLiteral("error.log"))) {
            files.append(path);
        }
    }
    files.sort();
    return files;
}

} // namespace nettest
