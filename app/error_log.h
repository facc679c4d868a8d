#pragma once

#include <QString>
#include <functional>

class QObject;

// The user-facing error log, "error.log" in the program directory. One record
// a line: "<time> <machine>: <message>" or "<time>: <message>". While relaying
// is on (a client logged into a server) the bare message is posted to the relay
// receiver as MSG_ERROR_RELAY instead, carrying an owned QString.
// Safe to call from any thread.
bool AddError(const QString& message, const QString& machine = QString());
// Called with every message AddError takes, on the thread that adds it (a
// front end that shows a file's failure with its reason); empty: none.
void SetErrorListener(std::function<void(const QString& message)> listener);
bool HasErrors();
QString GetErrorLogPath();
void SetErrorRelay(bool on, QObject* window);

// A route carries the errors of one piece of work to a receiver of its own
// (each worker of a client reports on its own connection). A thread carries
// a route through ErrorRouteScope, and a worker thread inherits the route of
// the thread that started it. While a route is on, AddError on such a thread
// posts MSG_ERROR_RELAY to the route's receiver; while it is off, the record
// goes to the log file. Either way it never goes to the relay above.
int OpenErrorRoute(QObject* receiver);
// A route that is always off: this machine's own log file, whatever relays.
inline constexpr int ERROR_ROUTE_LOG_FILE = -1;
// Nothing is posted to the receiver once this returns.
void CloseErrorRoute(int route);
void SetErrorRouteOn(int route, bool on);
// The calling thread's route; 0 for none.
int CurrentErrorRoute();

class ErrorRouteScope {
public:
    explicit ErrorRouteScope(int route);
    ~ErrorRouteScope();
    ErrorRouteScope(const ErrorRouteScope&) = delete;
    ErrorRouteScope& operator=(const ErrorRouteScope&) = delete;

private:
    int previous;
};

// The record text that AddError writes for a message at a given time.
QString FormatErrorRecord(const QString& message, const QString& machine, qint64 when);
