#pragma once

#include "queue/encode_port.h"
#include "queue/tick_clock.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace testsupport {

// A clock the test moves by hand.
class ManualClock : public TickClock {
public:
    std::uint32_t Now() const override { return now; }
    std::uint32_t now = 1000;
};

// A worker that does nothing by itself: the test says when it progresses and
// how it ends, and it writes the output file as a real engine would.
class FakeEncoder : public EncodePort, public CodecPort {
public:
    struct Start {
        QString source;
        QString output;
        int priority;
        int driver;
        int format;
        int errorRoute; // where a real worker's errors would go
    };

    bool StartEncode(QObject* receiver, int priority, const QString& sourcePath,
                     const QString& outputPath, int driverIndex, int formatIndex,
                     double* audioSeconds) override;
    void PauseEncode() override { ++pauses; }
    void ResumeEncode() override { ++resumes; }
    void CancelEncode() override;
    bool IsEncodeCancelled() const override { return cancelled; }
    void SetEncodePriority(int level) override { priorities.push_back(level); }

    QString DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                          std::uint32_t* channels, std::uint32_t* bytesPerSec) override;
    void ResolveIndices(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                        int* driverIndex, int* formatIndex) override {
        *driverIndex = 0;
        *formatIndex = 0;
    }
    // Knows the encoders of `knownManufacturers`, each with every format.
    bool FindCodec(std::uint32_t manufacturerId, std::uint32_t, std::uint32_t, std::uint32_t,
                   int* driverIndex, int* formatIndex) override;

    // Writes part of the output (as a worker in the middle of a file would).
    void WritePartialOutput();
    // Completes the running file: output written when `ok`, partial otherwise.
    void Finish(bool ok);

    std::vector<std::uint32_t> knownManufacturers{9997};
    std::vector<Start> starts;
    bool refuseStart = false;
    // The worker notices a cancel at once and reports (posted, as a worker would).
    bool finishOnCancel = false;
    bool cancelled = false;
    bool running = false;
    double audioSeconds = 10.0;
    int pauses = 0;
    int resumes = 0;
    std::vector<int> priorities;
    // Called with the source when it completes; without it the completion
    // is posted to the receiver as the worker would.
    std::function<void(bool ok, const QString& source)> onDone;
    // Posts a progress report to the receiver.
    void Progress(int percent, std::uint32_t bytesDone);
    QObject* receiver = nullptr;
};

} // namespace testsupport
