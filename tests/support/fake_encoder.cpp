#include "support/fake_encoder.h"

#include "app/error_log.h"
#include "app/messages.h"

#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace testsupport {

bool FakeEncoder::StartEncode(QObject* target, int priority, const QString& sourcePath,
                              const QString& outputPath, int driverIndex, int formatIndex,
                              double* seconds) {
    if (refuseStart || running) {
        return false;
    }
    starts.push_back(
        Start{sourcePath, outputPath, priority, driverIndex, formatIndex, CurrentErrorRoute()});
    cancelled = false;
    running = true;
    receiver = target;
    *seconds = audioSeconds;
    return true;
}

QString FakeEncoder::DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                                   std::uint32_t* channels, std::uint32_t* bytesPerSec) {
    if (*manufacturerId == 0) {
        *manufacturerId = *productId = 9997;
    }
    *channels = *channels != 0 ? *channels : 2;
    *bytesPerSec = *bytesPerSec != 0 ? *bytesPerSec : 16000;
    return QStringLiteral("Codec: %1 kBit/s with LAME Encoder").arg(*bytesPerSec * 8 / 1000);
}

bool FakeEncoder::FindCodec(std::uint32_t manufacturerId, std::uint32_t, std::uint32_t,
                            std::uint32_t, int* driverIndex, int* formatIndex) {
    for (std::size_t i = 0; i < knownManufacturers.size(); ++i) {
        if (knownManufacturers[i] == manufacturerId) {
            *driverIndex = static_cast<int>(i);
            *formatIndex = 0;
            return true;
        }
    }
    return false;
}

void FakeEncoder::WritePartialOutput() {
    QFile out(starts.back().output);
    if (out.open(QIODevice::WriteOnly)) {
        out.write("partial");
    }
}

void FakeEncoder::Finish(bool ok) {
    ASSERT_TRUE(running);
    running = false;
    QFile out(starts.back().output);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(ok ? "complete mp3 output" : "partial");
    }
    if (onDone) {
        onDone(ok && !cancelled, starts.back().source);
    } else if (receiver != nullptr) {
        PostEvent<PayloadEvent<QString>>(receiver, MSG_ENCODE_DONE, (ok && !cancelled) ? 1 : 0,
                                         std::make_unique<QString>(starts.back().source));
    }
}

void FakeEncoder::CancelEncode() {
    cancelled = true;
    if (finishOnCancel && running) {
        QTimer::singleShot(0, [this] {
            if (running) {
                Finish(false);
            }
        });
    }
}

void FakeEncoder::Progress(int percent, std::uint32_t bytesDone) {
    PostEvent<PlainEvent>(receiver, MSG_ENCODE_PROGRESS, percent, bytesDone);
}

} // namespace testsupport
