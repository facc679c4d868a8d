#include "engines/encode_messages.h"

#include <memory>

void PostEncodeProgress(const QPointer<QObject>& window, int percent, std::uint64_t bytesDone) {
    if (QObject* receiver = window.data()) {
        PostEvent<EncodeProgressEvent>(receiver, MSG_ENCODE_PROGRESS, percent,
                                       static_cast<qintptr>(bytesDone));
    }
}

void PostEncodeDone(const QPointer<QObject>& window, bool outcome, const QString& source) {
    if (QObject* receiver = window.data()) {
        PostEvent<EncodeDoneEvent>(receiver, MSG_ENCODE_DONE, outcome ? 1 : 0,
                                   std::make_unique<QString>(source));
    }
}

std::uint64_t ReportedProgressBytes(std::uint64_t bytesDone, std::uint64_t totalBytes) {
    constexpr std::uint64_t LIMIT = 0xFFFFFFFFu;
    if (totalBytes <= LIMIT) {
        return bytesDone;
    }
    return static_cast<std::uint64_t>(static_cast<double>(bytesDone) /
                                      static_cast<double>(totalBytes) * double(LIMIT));
}

void ProgressReporter::Report(std::uint64_t bytesDone) {
    if (totalBytes == 0) {
        return;
    }
    const int percent =
        static_cast<int>(static_cast<double>(bytesDone) / static_cast<double>(totalBytes) * 100.0);
    if (percent != lastPercent) {
        PostEncodeProgress(window, percent, ReportedProgressBytes(bytesDone, totalBytes));
        lastPercent = percent;
    }
}
