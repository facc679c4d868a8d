// Usage: single_instance_probe SOCKET_PATH
// Prints "first" and waits for one activation request ("activated", exit 0),
// or prints "second" and exits 0 when another instance already runs.
#include "app/single_instance.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (!instance.ActivateExistingInstance()) {
        std::printf("second\n");
        return 0;
    }
    std::printf("first\n");
    std::fflush(stdout);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &app, [] {
        std::printf("activated\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
    return QCoreApplication::exec();
}
