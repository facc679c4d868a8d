#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>

namespace packagingtest {

struct Ran {
    int exitCode = -1; // -1: it did not start or did not end in time
    QString said;      // standard output and standard error together
};

// Runs a tool to its end (ten minutes at most).
Ran RunTool(const QString& program, const QStringList& arguments,
            const QString& workingDirectory = QString(),
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The output of an installed program's headless run and its trace.
struct Encoded {
    QString trace;
    QByteArray output;
};

// A user's home in a scratch folder, with nothing machine-wide to help the
// program find its encoders.
class ScratchHome {
public:
    QString Path(const QString& relative) const { return home.filePath(relative); }
    QProcessEnvironment Environment() const;

    // `program --headless -log` on one new WAV with this encoder chosen in
    // the user's settings; expects the run to succeed.
    Encoded Encode(const QString& program, std::uint32_t manufacturerId, std::uint32_t productId);

private:
    QTemporaryDir home;
};

} // namespace packagingtest
