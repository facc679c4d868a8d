#include "engines/encode_external.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "engines/encode_messages.h"

#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

namespace {

constexpr int START_TIMEOUT_MS = 5000;
// A child that ignores the polite request to stop is killed after this.
constexpr int TERMINATE_GRACE_MS = 3000;
// Enough for the child's last line, its reason for failing.
constexpr qsizetype ERROR_OUTPUT_BYTES = 1024;

// "x3enc: /path/a.wav: the reason" gives "the reason".
QString FailureReason(const QByteArray& output, const QString& source) {
    const QList<QByteArray> lines = output.trimmed().split('\n');
    QString line = QString::fromLocal8Bit(lines.isEmpty() ? QByteArray() : lines.last()).trimmed();
    for (const QString& prefix : {QStringLiteral("x3enc: "), source + QStringLiteral(": ")}) {
        if (line.startsWith(prefix)) {
            line.remove(0, prefix.size());
        }
    }
    return line.left(ERROR_OUTPUT_BYTES);
}

} // namespace

QStringList ExternalEncoderArguments(const QString& source, const QString& destination,
                                     std::uint32_t bitsPerSecond, int vbrQuality) {
    if (vbrQuality >= 0) {
        return {source, destination, QStringLiteral("-V"), QString::number(vbrQuality)};
    }
    return {source, destination, QStringLiteral("-b"), QString::number(bitsPerSecond)};
}

ExternalEncoder::~ExternalEncoder() {
    if (process) {
        QObject::disconnect(process.get(), nullptr, nullptr, nullptr);
        if (process->state() != QProcess::NotRunning) {
            Resume();
            process->kill();
            process->waitForFinished(TERMINATE_GRACE_MS);
        }
    }
}

bool ExternalEncoder::Start(const WorkerTicket& workerTicket, QObject* receiver,
                            const QString& program, const QString& sourcePath,
                            const QString& destinationPath, std::uint32_t bitsPerSecond,
                            int vbrQuality) {
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        AddError(QStringLiteral("Xing encoder couldn't be found."));
        return false;
    }
    auto child = std::make_unique<QProcess>();
    child->setProgram(program);
    child->setArguments(
        ExternalEncoderArguments(sourcePath, destinationPath, bitsPerSecond, vbrQuality));
    child->setStandardInputFile(QProcess::nullDevice());
    child->setStandardOutputFile(QProcess::nullDevice());
    child->setProcessChannelMode(QProcess::SeparateChannels);
    child->start();
    if (!child->waitForStarted(START_TIMEOUT_MS)) {
        Trace("ExternalEncoder: couldn't start %s. error = %d\n", qPrintable(program),
              static_cast<int>(child->error()));
        return false;
    }
    // The end is reported from the event loop, so the ticket is in place
    // before it can be used.
    QObject::connect(
        child.get(), &QProcess::finished, child.get(),
        [this](int exitCode, QProcess::ExitStatus status) { OnFinished(exitCode, status); });
    QObject::connect(child.get(), &QProcess::readyReadStandardError, child.get(),
                     [this] { KeepErrorOutput(); });
    errorOutput.clear();
    process = std::move(child);
    window = receiver;
    source = sourcePath;
    destination = destinationPath;
    stopped = false;
    ticket = workerTicket;
    errorRoute = CurrentErrorRoute();
    return true;
}

bool ExternalEncoder::IsRunning() const {
    return process && process->state() != QProcess::NotRunning;
}

void ExternalEncoder::Pause() {
    if (IsRunning() && !stopped) {
        ::kill(static_cast<pid_t>(process->processId()), SIGSTOP);
        stopped = true;
    }
}

void ExternalEncoder::Resume() {
    if (IsRunning() && stopped) {
        ::kill(static_cast<pid_t>(process->processId()), SIGCONT);
    }
    stopped = false;
}

void ExternalEncoder::Cancel() {
    if (!IsRunning()) {
        return;
    }
    Resume();
    process->terminate();
    QTimer::singleShot(TERMINATE_GRACE_MS, process.get(), [child = process.get()] {
        if (child->state() != QProcess::NotRunning) {
            child->kill();
        }
    });
}

void ExternalEncoder::SetNice(int nice) {
    if (IsRunning()) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(process->processId()), nice);
    }
}

void ExternalEncoder::KeepErrorOutput() {
    errorOutput += process->readAllStandardError();
    if (errorOutput.size() > ERROR_OUTPUT_BYTES) {
        errorOutput = errorOutput.right(ERROR_OUTPUT_BYTES);
    }
}

void ExternalEncoder::OnFinished(int exitCode, QProcess::ExitStatus status) {
    stopped = false;
    KeepErrorOutput();
    const bool crashed = status != QProcess::NormalExit;
    const QFileInfo output(destination);
    // The child's mere ending is no success: it must say so and leave a file.
    const bool outcome = !crashed && exitCode == 0 && output.isFile() && output.size() > 0;
    Trace("ExternalEncoder: the encoder ended. exit code = %d crashed = %d file = %s\n", exitCode,
          crashed ? 1 : 0, qPrintable(source));
    if (!outcome && !ticket->IsCancelled()) {
        const ErrorRouteScope route(errorRoute);
        const QString reason = FailureReason(errorOutput, source);
        QString sentence =
            QStringLiteral("Error %1 - Xing encoder couldn't encode the source file (%2)")
                .arg(crashed ? -1 : exitCode)
                .arg(source);
        sentence += reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": %1.").arg(reason);
        AddError(sentence);
    }
    ticket->Finish();
    process.release()->deleteLater();
    PostEncodeDone(window, outcome, source);
}
