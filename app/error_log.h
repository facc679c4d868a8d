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

// The record text that AddError writes for a message at a given time.
QString FormatErrorRecord(const QString& message, const QString& machine, qint64 when);
