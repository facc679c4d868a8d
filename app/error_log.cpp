#include "app/error_log.h"

#include "app/locale_format.h"
#include "app/messages.h"
#include "app/program_directory.h"

#include <QFile>
#include <QPointer>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>

namespace {

constexpr int RECORD_BUFFER_SIZE = 4096;

std::mutex relayMutex;
bool relayOn = false;
QPointer<QObject> relayWindow;

struct ErrorRoute {
    QObject* receiver = nullptr; // closed before it goes
    bool on = false;
};
std::map<int, ErrorRoute> routes; // guarded by relayMutex
int lastRoute = 0;
thread_local int threadRoute = 0;

std::mutex fileMutex;

std::mutex listenerMutex;
std::function<void(const QString&)> errorListener;

} // namespace

void SetErrorListener(std::function<void(const QString& message)> listener) {
    std::lock_guard lock(listenerMutex);
    errorListener = std::move(listener);
}

QString GetErrorLogPath() {
    return ProgramDirectory() + QStringLiteral("error.log");
}

void SetErrorRelay(bool on, QObject* window) {
    std::lock_guard lock(relayMutex);
    relayOn = on;
    relayWindow = window;
}

int OpenErrorRoute(QObject* receiver) {
    std::lock_guard lock(relayMutex);
    routes[++lastRoute] = ErrorRoute{receiver, false};
    return lastRoute;
}

void CloseErrorRoute(int route) {
    std::lock_guard lock(relayMutex);
    routes.erase(route);
}

void SetErrorRouteOn(int route, bool on) {
    std::lock_guard lock(relayMutex);
    if (auto it = routes.find(route); it != routes.end()) {
        it->second.on = on;
    }
}

int CurrentErrorRoute() {
    return threadRoute;
}

ErrorRouteScope::ErrorRouteScope(int route) : previous(threadRoute) {
    threadRoute = route;
}

ErrorRouteScope::~ErrorRouteScope() {
    threadRoute = previous;
}

QString FormatErrorRecord(const QString& message, const QString& machine, qint64 when) {
    const QByteArray time = FormatTimeOfDay(when).toUtf8();
    const QByteArray text = message.toUtf8();
    char record[RECORD_BUFFER_SIZE];
    if (!machine.isEmpty()) {
        std::snprintf(record, sizeof record, "%s %s: %s\n", time.constData(),
                      machine.toUtf8().constData(), text.constData());
    } else {
        std::snprintf(record, sizeof record, "%s: %s\n", time.constData(), text.constData());
    }
    return QString::fromUtf8(record);
}

bool AddError(const QString& message, const QString& machine) {
    if (message.isEmpty()) {
        return true;
    }
    const QString record = FormatErrorRecord(message, machine, std::time(nullptr));
    {
        std::lock_guard lock(listenerMutex);
        if (errorListener) {
            errorListener(message);
        }
    }
    {
        std::lock_guard lock(relayMutex);
        const auto route = routes.find(threadRoute);
        QObject* receiver = nullptr;
        if (route != routes.end()) {
            receiver = route->second.on ? route->second.receiver : nullptr;
        } else if (threadRoute != ERROR_ROUTE_LOG_FILE && relayOn) {
            // Relaying without a receiver drops the record.
            receiver = relayWindow ? relayWindow.data() : nullptr;
            if (receiver == nullptr) {
                return true;
            }
        }
        if (receiver != nullptr) {
            PostEvent<PayloadEvent<QString>>(receiver, MSG_ERROR_RELAY, 0,
                                             std::make_unique<QString>(message));
            return true;
        }
    }
    std::lock_guard lock(fileMutex);
    QFile file(GetErrorLogPath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        return false;
    }
    QByteArray bytes = record.toUtf8();
    // A record cut short by a crash gets its line end, so this one starts a line.
    char last = '\n';
    if (file.size() > 0 && file.seek(file.size() - 1) && file.getChar(&last) && last != '\n') {
        bytes.prepend('\n');
    }
    // One write, so a record is never interleaved with another process's.
    return file.write(bytes) == bytes.size();
}

bool HasErrors() {
    std::lock_guard lock(fileMutex);
    QFile file(GetErrorLogPath());
    if (!file.exists()) {
        return false;
    }
    return file.size() != 0;
}
