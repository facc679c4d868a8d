#include "fake_client.h"

#include "net/unc.h"
#include "net/wire_bytes.h"
#include "net_test_support.h"
#include "queue/queue_entry.h"

#include <QFile>
#include <QHostAddress>
#include <QTimer>

namespace nettest {

FakeClient::FakeClient(const QString& nameValue, const char* from)
    : name(nameValue), bindAddress(QString::fromLatin1(from)) {
    connect(&socket, &QTcpSocket::readyRead, this, &FakeClient::OnReadyRead);
}

bool FakeClient::Connect(std::uint16_t port, bool logIn) {
    socket.abort();
    if (!socket.bind(QHostAddress(bindAddress))) {
        return false;
    }
    socket.connectToHost(QHostAddress::LocalHost, port);
    PumpUntil(
        [this] {
            return socket.state() != QAbstractSocket::ConnectingState &&
                   socket.state() != QAbstractSocket::HostLookupState;
        },
        3000);
    if (!Connected()) {
        return false;
    }
    if (logIn) {
        SendHeartbeat(name);
    }
    return true;
}

void FakeClient::SendRaw(const QByteArray& bytes) {
    socket.write(bytes);
    socket.flush();
}

void FakeClient::SendProgress(int percent, double rate) {
    QueueEntry figures;
    figures.percent = percent;
    figures.rate = rate;
    figures.ratio = 2.0;
    figures.ratioText = QStringLiteral("2.00:1");
    figures.remainingText = QStringLiteral("00:05");
    Send(NET_PROGRESS, WriteProgressRecord(figures));
}

QString FakeClient::OutputPath() const {
    return jobs.empty() ? QString() : getlocalfilename(jobs.back().destination);
}

void FakeClient::FinishJob(qint64 outputBytes, bool ownPart) {
    WriteText(ownPart ? PartPath() : OutputPath(), QByteArray(outputBytes, '\x55'));
    Send(NET_DONE);
}

void FakeClient::OnReadyRead() {
    const QByteArray bytes = socket.readAll();
    std::vector<QByteArray> frames;
    cutter.Feed(bytes.constData(), int(bytes.size()), frames);
    for (const QByteArray& frame : frames) {
        OnFrame(frame);
    }
}

void FakeClient::OnFrame(const QByteArray& frame) {
    if (frame.size() < FRAME_OVERHEAD) {
        return;
    }
    const std::uint32_t type = ReadU32(frame.constData() + 3);
    const QByteArray payload = frame.mid(7, frame.size() - FRAME_OVERHEAD);
    received.push_back(type);
    EncodeJob job;
    if (type == NET_CANENCODE && ReadEncodeJob(payload, job)) {
        questions.push_back(job);
        Answer answer = defaultAnswer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (answer.code < 0) {
            return;
        }
        const QByteArray reply = WriteReplyCode(std::uint32_t(answer.code));
        if (answer.delayMs > 0) {
            QTimer::singleShot(answer.delayMs, this,
                               [this, reply] { Send(NET_CANENCODE_REPLY, reply); });
        } else {
            Send(NET_CANENCODE_REPLY, reply);
        }
    } else if (type == NET_ENCODE && ReadEncodeJob(payload, job)) {
        jobs.push_back(job);
    } else if (QString text; type == NET_ERROR && ReadErrorText(payload, text)) {
        errors << text;
    }
}

} // namespace nettest
