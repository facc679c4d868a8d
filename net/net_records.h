#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

struct QueueEntry;

// The job a server offers and hands to a client.
struct EncodeJob {
    std::uint32_t manufacturerId = 0;
    std::uint32_t productId = 0;
    std::uint32_t channels = 0;
    std::uint32_t bytesPerSec = 0; // of a VBR preset its nominal rate
    // The LAME library's joint stereo. It travels in the channel count's high
    // half, so a peer that does not know it finds no such format and refuses
    // the job rather than encode plain stereo.
    bool jointStereo = false;
    QString source;      // network path of the WAV file
    QString destination; // network path of the output
    std::uint32_t size = 0;
};

inline constexpr int JOB_PATH_FIELD = 260;
inline constexpr int FIGURE_TEXT_FIELD = 64;
inline constexpr int MAX_ERROR_TEXT = 1024;

// Each writer returns the payload or an empty array when a text does not fit
// its field (a cut path would name another file) or the record would hold
// the frame's end marker outside a figure it may nudge (a size, a time or a
// rate, changed in a low byte). Each reader refuses a payload of the wrong
// size or with a field it cannot trust.
QByteArray WriteEncodeJob(const EncodeJob& job);
bool ReadEncodeJob(const QByteArray& payload, EncodeJob& job);

// The progress figures of an entry in the 3128-byte entry layout; every other
// byte is zero. Empty when it cannot be sent (see above).
QByteArray WriteProgressRecord(const QueueEntry& entry);
// Copies the progress figures into `entry`, nothing else.
bool ReadProgressRecord(const QByteArray& payload, QueueEntry& entry);

QByteArray WriteMachineName(const QString& name);
// A name of 1 to 15 printable characters, without path separators.
bool ReadMachineName(const QByteArray& payload, QString& name);

QByteArray WriteReplyCode(std::uint32_t code);
bool ReadReplyCode(const QByteArray& payload, std::uint32_t& code);

QByteArray WriteErrorText(const QString& text);
// At most MAX_ERROR_TEXT bytes; line breaks and other control characters
// become spaces, so a relayed text stays one record of the error log.
bool ReadErrorText(const QByteArray& payload, QString& text);
