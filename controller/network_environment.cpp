#include "controller/network_environment.h"

#include "net/unc_tables.h"

#include <QString>
#include <QtGlobal>

void UncTablesFromEnvironment() {
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
}
