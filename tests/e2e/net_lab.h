#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <vector>

namespace farm {

// A network of machines on this host for end-to-end tests, one that can
// really fail: each machine is a network namespace of its own, cabled to a
// switch (a bridge in a namespace of its own) on 10.57.0.0/24. A program
// started on a machine runs as the first process of that machine's own PID,
// mount and UTS namespaces, so its host name, its mounts and every process
// it starts (servers, FUSE clients) go with it. Dropping the lab kills them
// all and deletes the namespaces, whatever state a failed test left.
class NetLab {
public:
    // Root with working `ip netns`, veth pairs, bridges and `unshare`; `why`
    // says what is missing.
    static bool Available(QString* why);

    NetLab();
    ~NetLab();
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    // A new machine plugged into the switch; its address, or "" on failure.
    QString AddMachine(const QString& name);
    // Pulls (false) or plugs back (true) the machine's cable at the switch:
    // its packets go nowhere, and nobody sees a close or a reset.
    bool SetLink(const QString& name, bool up);

    // Starts `script` (sh; "$@" are `arguments`) on the machine under the
    // host name. The process is the lab's to kill: stopping `process` (or
    // the lab) ends everything the script started.
    bool Start(QProcess& process, const QString& machine, const QString& hostName,
               const QString& script, const QStringList& arguments,
               const QProcessEnvironment& environment);
    // Connections of the machine's kernel that are still established.
    int Established(const QString& machine);
    // Stops (SIGSTOP) or continues everything that `process` started: the
    // machine hangs, while its kernel goes on answering and timing out.
    static void Freeze(const QProcess& process, bool frozen);

private:
    struct Node {
        QString name;
        QString netns;
        QString address;
        QString port; // the switch's side of its cable
    };
    const Node* Find(const QString& name) const;

    QString prefix;
    QString switchNetns;
    bool ready = false;
    std::vector<Node> nodes;
    std::vector<QProcess*> started;
};

// Records, with inotify, what happens to the names in one folder: the names
// that were created or written and closed there, and those renamed into it.
class FolderWatch {
public:
    explicit FolderWatch(const QString& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Reads what happened so far.
    void Poll();
    // How often `name` got its content: written there, or renamed into place.
    int Arrivals(const QString& name) const { return int(arrivals.count(name)); }
    bool Valid() const { return descriptor >= 0; }

private:
    int descriptor = -1;
    QStringList arrivals;
};

} // namespace farm
