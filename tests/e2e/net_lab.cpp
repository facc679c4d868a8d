#include "e2e/net_lab.h"

#include "support/outside_tools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <sys/inotify.h>
#include <unistd.h>

namespace farm {

namespace {

constexpr char SUBNET[] = "10.57.0.";
constexpr int KILL_LIMIT_MS = 10000;

bool Ip(const QStringList& arguments) {
    return RunTool("ip", arguments).ok;
}

// The machine's namespaces for one program: the network one by name, and
// new PID, mount and UTS ones. The program is the new PID namespace's first
// process, so everything it starts dies with it; it dies with us.
QStringList OnMachine(const QString& netns) {
    return {"--pdeathsig",   "KILL",   "ip",     "netns",        "exec",         netns,
            "unshare",       "--pid",  "--fork", "--kill-child", "--mount-proc", "--uts",
            "--propagation", "private"};
}

} // namespace

bool NetLab::Available(QString* why) {
    if (geteuid() != 0) {
        *why = QStringLiteral("network namespaces need root");
        return false;
    }
    const QString probe = QStringLiteral("cvprobe%1").arg(QCoreApplication::applicationPid());
    const bool works =
        Ip({"netns", "add", probe}) && Ip({"-n", probe, "link", "add", "b0", "type", "bridge"}) &&
        Ip({"-n", probe, "link", "add", "v0", "type", "veth", "peer", "name", "v1"}) &&
        RunTool("setpriv", OnMachine(probe) + QStringList{"true"}).ok;
    Ip({"netns", "del", probe});
    if (!works) {
        *why = QStringLiteral("ip netns, veth, bridges or unshare --pid do not work here");
    }
    return works;
}

NetLab::NetLab() : prefix(QStringLiteral("cv%1").arg(QCoreApplication::applicationPid())) {
    switchNetns = prefix + "sw";
    ready = Ip({"netns", "add", switchNetns}) &&
            Ip({"-n", switchNetns, "link", "add", "br0", "type", "bridge"}) &&
            Ip({"-n", switchNetns, "link", "set", "br0", "up"});
}

NetLab::~NetLab() {
    for (QProcess* process : started) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(KILL_LIMIT_MS);
        }
    }
    for (const Node& node : nodes) {
        Ip({"netns", "del", node.netns});
    }
    Ip({"netns", "del", switchNetns});
}

const NetLab::Node* NetLab::Find(const QString& name) const {
    for (const Node& node : nodes) {
        if (node.name == name) {
            return &node;
        }
    }
    return nullptr;
}

QString NetLab::AddMachine(const QString& name) {
    if (!ready || Find(name) != nullptr) {
        return QString();
    }
    const int number = int(nodes.size()) + 1;
    Node node{name, prefix + "m" + QString::number(number),
              QString::fromLatin1(SUBNET) + QString::number(number), "p" + QString::number(number)};
    nodes.push_back(node); // removed with the lab even when a step below fails
    const bool ok = Ip({"netns", "add", node.netns}) &&
                    Ip({"-n", switchNetns, "link", "add", node.port, "type", "veth", "peer", "name",
                        "eth0", "netns", node.netns}) &&
                    Ip({"-n", switchNetns, "link", "set", node.port, "master", "br0"}) &&
                    Ip({"-n", switchNetns, "link", "set", node.port, "up"}) &&
                    Ip({"-n", node.netns, "addr", "add", node.address + "/24", "dev", "eth0"}) &&
                    Ip({"-n", node.netns, "link", "set", "eth0", "up"}) &&
                    Ip({"-n", node.netns, "link", "set", "lo", "up"});
    return ok ? node.address : QString();
}

bool NetLab::SetLink(const QString& name, bool up) {
    const Node* node = Find(name);
    return node != nullptr &&
           Ip({"-n", switchNetns, "link", "set", node->port, up ? "up" : "down"});
}

bool NetLab::Start(QProcess& process, const QString& machine, const QString& hostName,
                   const QString& script, const QStringList& arguments,
                   const QProcessEnvironment& environment) {
    const Node* node = Find(machine);
    if (node == nullptr) {
        return false;
    }
    QStringList command = OnMachine(node->netns);
    command << "sh"
            << "-c"
            << "hostname \"$0\" && " + script << hostName << arguments;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("setpriv"), command);
    started.push_back(&process);
    return process.waitForStarted();
}

int NetLab::Established(const QString& machine) {
    const Node* node = Find(machine);
    return node == nullptr ? 0
                           : int(RunTool("ip", {"netns", "exec", node->netns, "ss", "-Htn", "state",
                                                "established"})
                                     .out.count('\n'));
}

void NetLab::Freeze(const QProcess& process, bool frozen) {
    // The process and its descendants, found through /proc.
    std::vector<qint64> pids{process.processId()};
    for (std::size_t i = 0; i < pids.size(); ++i) {
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pids[i]);
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks + u'/' + task + "/children");
            if (children.open(QIODevice::ReadOnly)) {
                for (const QByteArray& child : children.readAll().split(' ')) {
                    if (const qint64 pid = child.trimmed().toLongLong(); pid > 0) {
                        pids.push_back(pid);
                    }
                }
            }
        }
    }
    for (const qint64 pid : pids) {
        ::kill(pid_t(pid), frozen ? SIGSTOP : SIGCONT);
    }
}

FolderWatch::FolderWatch(const QString& folder) {
    descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor >= 0 && inotify_add_watch(descriptor, QFile::encodeName(folder).constData(),
                                             IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

FolderWatch::~FolderWatch() {
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}

void FolderWatch::Poll() {
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0) {
                arrivals << QFile::decodeName(event->name);
            }
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace farm
