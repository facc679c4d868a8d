// Usage: single_instance_probe SOCKET_PATH [FILE...]
// Hands its FILEs over and prints "second" when another instance runs;
// otherwise prints "first". Exits 0 either way.
#include "app/single_instance.h"

#include <QCoreApplication>
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
    std::printf(instance.ActivateExistingInstance(files) ? "first\n" : "second\n");
    return 0;
}
