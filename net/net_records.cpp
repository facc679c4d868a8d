#include "net/net_records.h"

#include "net/frame_cutter.h"
#include "net/protocol.h"
#include "net/wire_bytes.h"
#include "queue/queue_entry.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

// Offsets within the 540-byte job.
constexpr int JOB_MANUFACTURER = 0;
constexpr int JOB_PRODUCT = 4;
constexpr int JOB_CHANNELS = 8;
constexpr int JOB_BYTES_PER_SEC = 12;
constexpr int JOB_SOURCE = 16;
constexpr int JOB_DESTINATION = 276;
constexpr int JOB_SIZE = 536;
constexpr std::uint32_t JOB_JOINT_STEREO = 0x10000;

// Offsets of the progress figures within the 3128-byte entry.
constexpr int ENTRY_ELAPSED_SECONDS = 2172;
constexpr int ENTRY_ELAPSED_TEXT = 2176;
constexpr int ENTRY_TOTAL_SECONDS = 2240;
constexpr int ENTRY_TOTAL_TEXT = 2244;
constexpr int ENTRY_REMAINING_SECONDS = 2308;
constexpr int ENTRY_REMAINING_HOURS = 2312;
constexpr int ENTRY_REMAINING_MINUTES = 2316;
constexpr int ENTRY_REMAINING_SECS = 2320;
constexpr int ENTRY_REMAINING_TEXT = 2324;
constexpr int ENTRY_PERCENT = 2388;
constexpr int ENTRY_RATE = 2392;
constexpr int ENTRY_RATIO = 2400;
constexpr int ENTRY_RATIO_TEXT = 2408;
constexpr int ENTRY_BYTES_DONE = 2472;

bool PutFigure(QByteArray& record, int offset, const QString& text) {
    return PutText(record, offset, FIGURE_TEXT_FIELD, text.toLatin1());
}

QString GetFigure(const QByteArray& record, int offset) {
    return QString::fromLatin1(GetText(record, offset, FIGURE_TEXT_FIELD));
}

struct ByteRange {
    int from;
    int to; // one past the last byte
};

// A payload must not hold the frame's end marker: the receiver would end the
// frame there and drop both halves. A marker that begins inside a figure that
// only informs (a size, a time, a rate) loses it by raising that byte, FA to
// FB, a change in the figure's low bytes that cannot make a new marker. A
// marker anywhere else makes the payload unsendable: false.
bool ClearEndMarkers(QByteArray& payload, std::initializer_list<ByteRange> adjustable) {
    for (int at = FindMarker(payload, FRAME_END, 0); at >= 0;
         at = FindMarker(payload, FRAME_END, at + 1)) {
        const bool fixable = std::any_of(adjustable.begin(), adjustable.end(),
                                         [at](ByteRange r) { return at >= r.from && at < r.to; });
        if (!fixable) {
            return false;
        }
        payload[at] = char(0xFB);
    }
    return true;
}

QString WithoutControls(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) {
            c = u' ';
        }
    }
    return text;
}

} // namespace

QByteArray WriteEncodeJob(const EncodeJob& job) {
    QByteArray record(ENCODE_JOB_SIZE, '\0');
    PutU32(record, JOB_MANUFACTURER, job.manufacturerId);
    PutU32(record, JOB_PRODUCT, job.productId);
    PutU32(record, JOB_CHANNELS, job.channels | (job.jointStereo ? JOB_JOINT_STEREO : 0));
    PutU32(record, JOB_BYTES_PER_SEC, job.bytesPerSec);
    if (!PutText(record, JOB_SOURCE, JOB_PATH_FIELD, job.source.toUtf8()) ||
        !PutText(record, JOB_DESTINATION, JOB_PATH_FIELD, job.destination.toUtf8())) {
        return QByteArray();
    }
    PutU32(record, JOB_SIZE, job.size);
    // A size of 16,317,946 bytes, for one, would hold the marker.
    if (!ClearEndMarkers(record, {{JOB_SIZE, JOB_SIZE + 4}})) {
        return QByteArray();
    }
    return record;
}

bool ReadEncodeJob(const QByteArray& payload, EncodeJob& job) {
    if (payload.size() != ENCODE_JOB_SIZE) {
        return false;
    }
    bool sourceEnds = false;
    bool destinationEnds = false;
    const QByteArray source = GetText(payload, JOB_SOURCE, JOB_PATH_FIELD, &sourceEnds);
    const QByteArray destination =
        GetText(payload, JOB_DESTINATION, JOB_PATH_FIELD, &destinationEnds);
    if (!sourceEnds || !destinationEnds || source.isEmpty() || destination.isEmpty()) {
        return false;
    }
    job.manufacturerId = GetU32(payload, JOB_MANUFACTURER);
    job.productId = GetU32(payload, JOB_PRODUCT);
    const std::uint32_t channels = GetU32(payload, JOB_CHANNELS);
    job.channels = channels & ~JOB_JOINT_STEREO;
    job.jointStereo = (channels & JOB_JOINT_STEREO) != 0;
    job.bytesPerSec = GetU32(payload, JOB_BYTES_PER_SEC);
    job.source = QString::fromUtf8(source);
    job.destination = QString::fromUtf8(destination);
    job.size = GetU32(payload, JOB_SIZE);
    return true;
}

QByteArray WriteProgressRecord(const QueueEntry& entry) {
    QByteArray record(PROGRESS_RECORD_SIZE, '\0');
    PutU32(record, ENTRY_ELAPSED_SECONDS, entry.elapsedSeconds);
    PutU32(record, ENTRY_TOTAL_SECONDS, entry.totalSeconds);
    PutU32(record, ENTRY_REMAINING_SECONDS, entry.remainingSeconds);
    PutU32(record, ENTRY_REMAINING_HOURS, entry.remainingHours);
    PutU32(record, ENTRY_REMAINING_MINUTES, entry.remainingMinutes);
    PutU32(record, ENTRY_REMAINING_SECS, entry.remainingSecs);
    PutU32(record, ENTRY_PERCENT, std::uint32_t(entry.percent));
    PutDouble(record, ENTRY_RATE, entry.rate);
    PutDouble(record, ENTRY_RATIO, entry.ratio);
    PutU32(record, ENTRY_BYTES_DONE, entry.bytesDone);
    // The figure fields hold at most 63 characters, so every text fits.
    PutFigure(record, ENTRY_ELAPSED_TEXT, entry.elapsedText);
    PutFigure(record, ENTRY_TOTAL_TEXT, entry.totalText);
    PutFigure(record, ENTRY_REMAINING_TEXT, entry.remainingText);
    PutFigure(record, ENTRY_RATIO_TEXT, entry.ratioText);
    if (!ClearEndMarkers(record, {{ENTRY_ELAPSED_SECONDS, ENTRY_ELAPSED_SECONDS + 4},
                                  {ENTRY_TOTAL_SECONDS, ENTRY_TOTAL_SECONDS + 4},
                                  {ENTRY_REMAINING_SECONDS, ENTRY_REMAINING_TEXT},
                                  {ENTRY_RATE, ENTRY_RATIO_TEXT},
                                  {ENTRY_BYTES_DONE, ENTRY_BYTES_DONE + 4}})) {
        return QByteArray();
    }
    return record;
}

bool ReadProgressRecord(const QByteArray& payload, QueueEntry& entry) {
    if (payload.size() != PROGRESS_RECORD_SIZE) {
        return false;
    }
    const int percent = int(GetU32(payload, ENTRY_PERCENT));
    const double rate = GetDouble(payload, ENTRY_RATE);
    const double ratio = GetDouble(payload, ENTRY_RATIO);
    // The figures feed bars, estimates and the stored throughput.
    if (percent < -1 || percent > 100 || !std::isfinite(rate) || rate < 0.0 ||
        !std::isfinite(ratio) || ratio < 0.0) {
        return false;
    }
    entry.elapsedSeconds = GetU32(payload, ENTRY_ELAPSED_SECONDS);
    entry.elapsedText = GetFigure(payload, ENTRY_ELAPSED_TEXT);
    entry.totalSeconds = GetU32(payload, ENTRY_TOTAL_SECONDS);
    entry.totalText = GetFigure(payload, ENTRY_TOTAL_TEXT);
    entry.remainingSeconds = GetU32(payload, ENTRY_REMAINING_SECONDS);
    entry.remainingHours = GetU32(payload, ENTRY_REMAINING_HOURS);
    entry.remainingMinutes = GetU32(payload, ENTRY_REMAINING_MINUTES);
    entry.remainingSecs = GetU32(payload, ENTRY_REMAINING_SECS);
    entry.remainingText = GetFigure(payload, ENTRY_REMAINING_TEXT);
    entry.percent = percent;
    entry.rate = rate;
    entry.ratio = ratio;
    entry.ratioText = GetFigure(payload, ENTRY_RATIO_TEXT);
    entry.bytesDone = GetU32(payload, ENTRY_BYTES_DONE);
    return true;
}

QByteArray WriteMachineName(const QString& name) {
    QByteArray bytes = name.left(MACHINE_NAME_LENGTH).toLatin1();
    bytes.append('\0');
    return bytes;
}

bool ReadMachineName(const QByteArray& payload, QString& name) {
    if (payload.isEmpty() || payload.size() > NAME_PAYLOAD_SIZE) {
        return false;
    }
    const QByteArray text = GetText(payload, 0, int(payload.size())).left(MACHINE_NAME_LENGTH);
    if (text.isEmpty()) {
        return false;
    }
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x21 || u > 0x7E || c == '/' || c == '\\') {
            return false;
        }
    }
    name = QString::fromLatin1(text);
    return true;
}

QByteArray WriteReplyCode(std::uint32_t code) {
    QByteArray bytes;
    AppendU32(bytes, code);
    return bytes;
}

bool ReadReplyCode(const QByteArray& payload, std::uint32_t& code) {
    if (payload.size() != REPLY_CODE_SIZE) {
        return false;
    }
    code = GetU32(payload, 0);
    return true;
}

QByteArray WriteErrorText(const QString& text) {
    QByteArray bytes = text.toUtf8().left(MAX_ERROR_TEXT - 1);
    bytes.append('\0');
    return bytes;
}

bool ReadErrorText(const QByteArray& payload, QString& text) {
    if (payload.isEmpty() || payload.size() > MAX_ERROR_PAYLOAD) {
        return false;
    }
    const QByteArray bytes = GetText(payload, 0, int(payload.size())).left(MAX_ERROR_TEXT);
    if (bytes.isEmpty()) {
        return false;
    }
    text = WithoutControls(QString::fromUtf8(bytes)).trimmed();
    return !text.isEmpty();
}
