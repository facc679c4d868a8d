#include "controller/network_environment.h"

#include "app/trace.h"
#include "net/unc_tables.h"

#include <QtGlobal>

MainController::NetworkOptions NetworkFromEnvironment() {
    MainController::NetworkOptions options;
    options.bindAddress = qEnvironmentVariable("CORVANE_BIND_ADDRESS");
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("CORVANE_NET_PORT", &ok);
    if (ok && port > 0 && port < 65536) {
        options.port = static_cast<std::uint16_t>(port);
    } else if (qEnvironmentVariableIsSet("CORVANE_NET_PORT")) {
        Trace("NetworkFromEnvironment: ignoring the port %s\n",
              qPrintable(qEnvironmentVariable("CORVANE_NET_PORT")));
    }
    UncTables tables;
    const auto take = [](const char* name, QString& field) {
        if (qEnvironmentVariableIsSet(name)) {
            field = qEnvironmentVariable(name);
        }
    };
    take("CORVANE_MOUNTINFO", tables.mountInfoPath);
    take("CORVANE_SMB_CONF", tables.smbConfPath);
    take("CORVANE_USERSHARES", tables.usershareDir);
    SetUncTables(tables);
    return options;
}
