#include "ui/controller_roles.h"

#include "controller/main_controller.h"
#include "net/server_role.h"
#include "queue/encode_scheduler.h"

#include <QNetworkInterface>

QString FindLocalAddress() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            return address.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

ControllerRoles::ControllerRoles(MainController& controller)
    : controller(controller), localAddress(FindLocalAddress()) {}

MachineTable& ControllerRoles::Machines() {
    return controller.Server().Machines();
}

QString ControllerRoles::OwnName() const {
    return controller.Batch().ownName;
}

bool ControllerRoles::AllowLocalStart() const {
    return controller.Batch().allowLocalStart;
}

void ControllerRoles::SetAllowLocalStart(bool allowed) {
    controller.Batch().allowLocalStart = allowed;
    controller.Batch().localMarkCleared = !allowed;
}

bool ControllerRoles::IsBusy() const {
    return controller.Batch().IsBusy();
}

void ControllerRoles::ClientStart() {
    controller.ClientStart();
}

void ControllerRoles::ServerStart() {
    controller.ServerStart();
}

void ControllerRoles::UpdateNetStatus() {
    controller.Server().UpdateNetStatus();
}

void ControllerRoles::StartNextFile(int machineIndex) {
    controller.Scheduler().StartNextFile(machineIndex);
}
