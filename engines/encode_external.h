#pragma once

#include "engines/worker_ticket.h"

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

// The arguments given to the external encoder: source, destination, "-b" and
// the bit rate, or "-V" and the VBR preset (0 to 9). QProcess passes them
// without a shell, so spaces survive.
QStringList ExternalEncoderArguments(const QString& source, const QString& destination,
                                     std::uint32_t bitsPerSecond, int vbrQuality = -1);

// Drives the external command-line encoder for one file on the main thread:
// starts it, reports its end with MSG_ENCODE_DONE, stops and continues it for
// pause and resume, and ends it on a cancel.
class ExternalEncoder {
public:
    ExternalEncoder() = default;
    ~ExternalEncoder();

    // The ticket is the worker's: it sees a cancel and says when the child ended.
    bool Start(const WorkerTicket& ticket, QObject* window, const QString& program,
               const QString& source, const QString& destination, std::uint32_t bitsPerSecond,
               int vbrQuality = -1);
    bool IsRunning() const;
    bool IsStopped() const { return stopped; }
    void Pause();
    void Resume();
    void Cancel();
    void SetNice(int nice);

private:
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void KeepErrorOutput();

    std::optional<WorkerTicket> ticket;
    std::unique_ptr<QProcess> process;
    QPointer<QObject> window;
    QString source;
    QString destination;
    QByteArray errorOutput; // the child's standard error, its last bytes only
    bool stopped = false;
    int errorRoute = 0; // the starter's, for the report of the end
};
