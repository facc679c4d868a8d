#pragma once

#include "net/socket_notify.h"
#include "support/event_pump.h"
#include "support/free_port.h"
#include "support/text_file.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace nettest {

// Records what a socket layer reports.
class RecordingSink : public CSocketNotify {
public:
    void sockaccepted(int slot) override { accepted.push_back(slot); }
    void sockclosed(int slot) override { closed.push_back(slot); }
    void sockdispatch(const char* frame, int length, int slot) override {
        frames.emplace_back(frame, length);
        frameSlots.push_back(slot);
    }

    std::vector<int> accepted;
    std::vector<int> closed;
    std::vector<QByteArray> frames;
    std::vector<int> frameSlots;
};

using testsupport::FreePort;

using testsupport::PumpUntil;

// A plain blocking client socket bound to `from`, connected to 127.0.0.1:port;
// -1 on failure.
int RawConnect(std::uint16_t port, const char* from = "127.0.0.9");
void RawSend(int socket, const QByteArray& bytes);
// Closes with a reset instead of an orderly close.
void RawReset(int socket);

using testsupport::WriteText;

// The share and mount tables of the computer `computerName` read from
// `root`/smb.conf and `root`/mountinfo, written here, and `root`/usershares.
void UseUncFiles(const QString& root, const QByteArray& smbConf, const QByteArray& mountInfo,
                 const QString& computerName = QString());

} // namespace nettest
