#pragma once

#include "net/frame_cutter.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/writer_part.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

namespace nettest {

// A client machine as the server sees it on the wire: logs in with a name,
// answers questions by a script and reports what the test tells it to.
class FakeClient : public QObject {
public:
    struct Answer {
        int code = 0;    // -1: never answers
        int delayMs = 0; // answer this much later
    };

    FakeClient(const QString& name, const char* from);

    bool Connect(std::uint16_t port, bool logIn = true);
    void SendHeartbeat(const QString& name) { Send(NET_HEARTBEAT, WriteMachineName(name)); }
    void Send(std::uint32_t type, const QByteArray& payload = QByteArray()) {
        SendRaw(BuildFrame(type, payload.constData(), int(payload.size())));
    }
    void SendRaw(const QByteArray& bytes);
    void SendProgress(int percent, double rate);
    // Writes the output the job names (through the share) and reports done:
    // under the client's own partial name as this program's clients do, or
    // under the final name as a client that renames for itself would.
    void FinishJob(qint64 outputBytes, bool ownPart = true);
    // The client's own partial output of the current job.
    QString PartPath() const { return WriterPartPath(OutputPath(), name); }
    void Abort() { socket.abort(); }
    bool Connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    // The local path of the current job's output.
    QString OutputPath() const;

    QString name;
    // Answers in order; when none is left, `defaultAnswer`.
    std::deque<Answer> answers;
    Answer defaultAnswer;
    std::vector<EncodeJob> questions;
    std::vector<EncodeJob> jobs;
    std::vector<std::uint32_t> received; // every frame type in order
    QStringList errors;                  // texts of NET_ERROR from the server
    int Count(std::uint32_t type) const { return int(std::ranges::count(received, type)); }

private:
    void OnReadyRead();
    void OnFrame(const QByteArray& frame);

    QTcpSocket socket;
    FrameCutter cutter;
    QString bindAddress;
};

} // namespace nettest
