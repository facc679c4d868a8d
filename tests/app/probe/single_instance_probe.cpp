// Usage: single_instance_probe SOCKET_PATH [FILE...]
// Prints "first" and waits for one activation request ("activated" and the
// files handed over, one per line; exit 0), or hands its FILEs over, prints
// "second" and exits 0 when another instance already runs.
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
    QStringList files;
    for (int i = 2; i < argc; ++i) {
        files.append(QString::fromLocal8Bit(argv[i]));
    }
    if (!instance.ActivateExistingInstance(files)) {
        std::printf("second\n");
        return 0;
    }
    std::printf("first\n");
    std::fflush(stdout);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &app,
                     [](const QStringList& handed) {
                         std::printf("activated\n");
                         for (const QString& file : handed) {
                             std::printf("%s\n", file.toUtf8().constData());
                         }
                         std::fflush(stdout);
                         QCoreApplication::exit(0);
                     });
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
    return QCoreApplication::exec();
}
