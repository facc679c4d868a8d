#include "net_test_support.h"

#include "net/unc_tables.h"


#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

int RawConnect(std::uint16_t port, const char* from) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    remote.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

void RawSend(int socket, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.constData() + done, std::size_t(bytes.size() - done),
                                 MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        done += n;
    }
}

void RawReset(int socket) {
    const linger hard{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(socket);
}

void UseUncFiles(const QString& root, const QByteArray& smbConf, const QByteArray& mountInfo,
                 const QString& computerName) {
    UncTables tables;
    tables.smbConfPath = root + "/smb.conf";
    tables.mountInfoPath = root + "/mountinfo";
    tables.usershareDir = root + "/usershares";
    tables.computerName = computerName;
    for (const auto& [path, text] :
         {std::pair{tables.smbConfPath, smbConf}, std::pair{tables.mountInfoPath, mountInfo}}) {
        WriteText(path, text);
    }
    SetUncTables(tables);
}

} // namespace nettest
