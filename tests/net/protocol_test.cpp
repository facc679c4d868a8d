#include "app/trace.h"
#include "net/frame_cutter.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/wire_bytes.h"
#include "queue/queue_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

struct Posted {
    int event;
    int slot;
    std::unique_ptr<QByteArray> payload;
};

std::vector<Posted> Dispatch(const QByteArray& frame, int slot = 3) {
    std::vector<Posted> posted;
    DispatchFrame(frame.constData(), int(frame.size()), slot,
                  [&](int event, int target, std::unique_ptr<QByteArray> payload) {
                      posted.push_back({event, target, std::move(payload)});
                  });
    return posted;
}

QByteArray Frame(std::uint32_t type, const QByteArray& payload = QByteArray()) {
    return BuildFrame(type, payload.constData(), int(payload.size()));
}

std::vector<QByteArray> Feed(FrameCutter& cutter, const QByteArray& bytes) {
    std::vector<QByteArray> frames;
    cutter.Feed(bytes.constData(), int(bytes.size()), frames);
    return frames;
}

EncodeJob SampleJob() {
    return {.manufacturerId = 0x01020304,
            .productId = 7,
            .channels = 2,
            .bytesPerSec = 16000,
            .source = QStringLiteral("\\\\BOX\\MUSIC\\a.wav"),
            .destination = QStringLiteral("\\\\BOX\\OUT\\a.MP3"),
            .size = 123456};
}

} // namespace

TEST(Protocol, FramesHaveTheirSizesOnTheWire) {
    QueueEntry entry;
    EXPECT_EQ(Frame(NET_PROGRESS, WriteProgressRecord(entry)).size(), 3138);
    EXPECT_EQ(Frame(NET_ENCODE, WriteEncodeJob(SampleJob())).size(), 550);
    EXPECT_EQ(Frame(NET_CANENCODE_REPLY, WriteReplyCode(CANENCODE_BUSY)).size(), 14);
    EXPECT_EQ(Frame(NET_CANCEL).toHex(), QByteArray("fefdfc05000000faf9f8"));
}

// Which handler each type reaches is checked by the role tests that send them.
TEST(Protocol, FramesArePostedWithTheirSlotAndPayload) {
    const std::vector<Posted> cancel = Dispatch(Frame(NET_CANCEL), 9);
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_EQ(std::tuple(cancel[0].event, cancel[0].slot, cancel[0].payload.get()),
              std::tuple(MSG_NET_CANCEL, 9, nullptr));

    const std::vector<Posted> reply = Dispatch(Frame(NET_CANENCODE_REPLY, WriteReplyCode(5)));
    ASSERT_EQ(reply.size(), 1u);
    std::uint32_t code = 0;
    ASSERT_TRUE(reply[0].payload && ReadReplyCode(*reply[0].payload, code));
    EXPECT_EQ(code, 5u);
}

TEST(Protocol, RefusedFramesAreDroppedWithOneTraceLine) {
    struct Case {
        std::uint32_t type;
        int length;
    };
    const Case refused[] = {
        {NET_HEARTBEAT, 0},
        {NET_HEARTBEAT, 17},
        {NET_CANENCODE, 539},
        {NET_CANENCODE, 541},
        {NET_CANENCODE_REPLY, 3},
        {NET_ENCODE, 100},
        {NET_CANCEL, 1},
        {NET_DONE, 4},
        {NET_PROGRESS, 3127},
        {NET_PROGRESS, 3129},
        {NET_ERROR, 0},
        {NET_ERROR, MAX_ERROR_PAYLOAD + 1},
        {0, 0},
        {12, 4},
        {0xFFFFFFFF, 540},
    };
    for (const Case& c : refused) {
        EXPECT_TRUE(Dispatch(Frame(c.type, QByteArray(c.length, 'a'))).empty()) << c.type;
        EXPECT_NE(std::strstr(LastTraceLine(), "sockdispatch: dropped"), nullptr) << c.type;
    }
    // A frame too short to hold a type is never read past its end.
    const QByteArray tiny = QByteArray(FRAME_START, 3) + QByteArray(FRAME_END, 3);
    EXPECT_TRUE(Dispatch(tiny).empty());
    EXPECT_NE(std::strstr(LastTraceLine(), "dropped a frame of 6 bytes"), nullptr);
}

// A split frame comes once, after its end; frames in one read come in order,
// junk going with the first; an endless frame exceeds the limit.
TEST(FrameCutter, SplitJoinedAndEndlessStreams) {
    const QByteArray frame = Frame(NET_HEARTBEAT, WriteMachineName("Bigpc"));
    FrameCutter cutter;
    for (qsizetype i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_TRUE(Feed(cutter, frame.mid(i, 1)).empty()) << i;
    }
    EXPECT_EQ(Feed(cutter, frame.right(1)), std::vector<QByteArray>{frame});
    EXPECT_EQ(cutter.Held(), 0);

    const QByteArray first = Frame(NET_PAUSE);
    const QByteArray second = Frame(NET_ERROR, WriteErrorText("x"));
    EXPECT_TRUE(Feed(cutter, "junk").empty());
    EXPECT_EQ(cutter.Held(), 4); // no start marker yet: kept
    EXPECT_EQ(Feed(cutter, first + "more" + second + "\xFE\xFD"),
              (std::vector<QByteArray>{first, second}));
    EXPECT_EQ(cutter.Held(), 2);

    cutter = FrameCutter();
    std::vector<QByteArray> frames;
    ASSERT_TRUE(cutter.Feed(FRAME_START, 3, frames));
    const QByteArray filler(1024, 'x');
    bool within = true;
    int reads = 0;
    while (within && reads < 100) {
        within = cutter.Feed(filler.constData(), int(filler.size()), frames);
        ++reads;
    }
    EXPECT_FALSE(within);
    EXPECT_TRUE(frames.empty());
    EXPECT_LE(cutter.Held(), MAX_UNFRAMED_BYTES + 1024);
    // The largest legal frame, split anyhow, always fits.
    FrameCutter legal;
    const QByteArray big = Frame(NET_PROGRESS, WriteProgressRecord(QueueEntry()));
    EXPECT_TRUE(legal.Feed(big.constData(), int(big.size()) - 1, frames));
    EXPECT_TRUE(legal.Feed(big.constData() + big.size() - 1, 1, frames));
    EXPECT_EQ(frames.size(), 1u);
}

TEST(NetRecords, EncodeJobFieldsSitAtTheirOffsets) {
    const EncodeJob job = SampleJob();
    const QByteArray bytes = WriteEncodeJob(job);
    ASSERT_EQ(bytes.size(), ENCODE_JOB_SIZE);
    EXPECT_EQ(bytes.left(4).toHex(), QByteArray("04030201"));
    EXPECT_EQ(GetU32(bytes, 12), 16000u);
    EXPECT_EQ(GetText(bytes, 16, 260), job.source.toUtf8());
    EXPECT_EQ(GetText(bytes, 276, 260), job.destination.toUtf8());
    EXPECT_EQ(GetU32(bytes, 536), 123456u);

    EncodeJob back;
    ASSERT_TRUE(ReadEncodeJob(bytes, back));
    EXPECT_EQ(WriteEncodeJob(back), bytes) << "every field read back as written";

    // A path that fills its field without a NUL, or that would be cut, is refused.
    QByteArray unterminated = bytes;
    unterminated.replace(16, 260, QByteArray(260, 'a'));
    EXPECT_FALSE(ReadEncodeJob(unterminated, back));
    EXPECT_FALSE(ReadEncodeJob(bytes.left(539), back));
    EncodeJob tooLong = job;
    tooLong.destination = QString(260, u'b');
    EXPECT_TRUE(WriteEncodeJob(tooLong).isEmpty());

    // Joint stereo rides in the channel count's high half: a peer that knows
    // nothing of it finds no format of 65538 channels and refuses the job.
    EncodeJob joint = job;
    joint.jointStereo = true;
    const QByteArray jointBytes = WriteEncodeJob(joint);
    EXPECT_EQ(GetU32(jointBytes, 8), 0x10002u);
    ASSERT_TRUE(ReadEncodeJob(jointBytes, back));
    EXPECT_EQ(std::tuple(back.jointStereo, back.channels), std::tuple(true, 2u));
}

TEST(NetRecords, ProgressRecordCarriesOnlyTheFigures) {
    QueueEntry entry;
    entry.path = QStringLiteral("/not/sent.wav");
    entry.elapsedSeconds = 61;
    entry.elapsedText = QStringLiteral("01:01");
    entry.remainingSeconds = 39;
    entry.remainingSecs = 39;
    entry.remainingText = QStringLiteral("00:39");
    entry.percent = 61;
    entry.rate = 176.4;
    entry.ratio = 0.25;
    entry.ratioText = QStringLiteral("0.25:1");
    entry.bytesDone = 987654;
    const QByteArray bytes = WriteProgressRecord(entry);
    ASSERT_EQ(bytes.size(), PROGRESS_RECORD_SIZE);
    EXPECT_EQ(bytes.left(2172), QByteArray(2172, '\0'));
    EXPECT_EQ(GetU32(bytes, 2172), 61u);
    EXPECT_EQ(GetText(bytes, 2176, 64), QByteArray("01:01"));
    EXPECT_EQ(GetU32(bytes, 2320), 39u);
    EXPECT_EQ(GetU32(bytes, 2388), 61u);
    EXPECT_EQ(GetDouble(bytes, 2392), 176.4);
    EXPECT_EQ(GetText(bytes, 2408, 64), QByteArray("0.25:1"));
    EXPECT_EQ(GetU32(bytes, 2472), 987654u);
    EXPECT_EQ(bytes.mid(2476), QByteArray(PROGRESS_RECORD_SIZE - 2476, '\0'));

    QueueEntry back;
    back.path = QStringLiteral("/kept.wav");
    ASSERT_TRUE(ReadProgressRecord(bytes, back));
    EXPECT_EQ(back.path.str(), QStringLiteral("/kept.wav"));
    EXPECT_EQ(WriteProgressRecord(back), bytes) << "every figure read back as written";

    // Figures a peer could use to poison bars or the stored throughput.
    QByteArray bad = bytes;
    PutDouble(bad, 2392, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(ReadProgressRecord(bad, back));
    bad = bytes;
    PutU32(bad, 2388, 101);
    EXPECT_FALSE(ReadProgressRecord(bad, back));
    // A text without a NUL is cut at its field.
    bad = bytes;
    bad.replace(2176, 64, QByteArray(64, '9'));
    ASSERT_TRUE(ReadProgressRecord(bad, back));
    EXPECT_EQ(back.elapsedText.str().size(), FIGURE_TEXT_LENGTH);
}

// A record that held the end marker would be cut short on the wire and
// dropped; the figures that only inform are nudged in a low byte instead.
TEST(NetRecords, RecordsNeverHoldTheEndMarker) {
    const QByteArray marker(FRAME_END, FRAME_MARKER_LENGTH);
    EncodeJob job = SampleJob();
    for (const std::uint32_t size : {0x00F8F9FAu, 0xF8F9FA00u}) {
        job.size = size; // 16,317,946 bytes, and one with the marker higher up
        const QByteArray bytes = WriteEncodeJob(job);
        ASSERT_EQ(bytes.size(), ENCODE_JOB_SIZE);
        EXPECT_EQ(bytes.indexOf(marker), -1);
        EXPECT_LE(GetU32(bytes, 536) - size, 256u);
        FrameCutter cutter;
        const QByteArray frame = Frame(NET_CANENCODE, bytes);
        EXPECT_EQ(Feed(cutter, frame), std::vector<QByteArray>{frame});
    }
    job.size = 1;
    job.bytesPerSec = 0x00F8F9FA; // not a figure to nudge: the job is not sent
    EXPECT_TRUE(WriteEncodeJob(job).isEmpty());

    QueueEntry entry;
    entry.bytesDone = 0xF8F9FA01;
    std::memcpy(&entry.rate, "\xFA\xF9\xF8\x10\x20\x30\x40\x40", 8);
    const QByteArray progress = WriteProgressRecord(entry);
    ASSERT_EQ(progress.size(), PROGRESS_RECORD_SIZE);
    EXPECT_EQ(progress.indexOf(marker), -1);
    QueueEntry back;
    ASSERT_TRUE(ReadProgressRecord(progress, back));
    EXPECT_NEAR(back.rate, entry.rate, entry.rate * 1e-12);
}

TEST(NetRecords, NamesAndErrorTextsAreBounded) {
    QString name;
    EXPECT_TRUE(ReadMachineName(WriteMachineName("Bigpc"), name));
    EXPECT_EQ(name, QStringLiteral("Bigpc"));
    EXPECT_TRUE(ReadMachineName(QByteArray(16, 'n'), name)); // no NUL: cut to 15
    EXPECT_EQ(name.size(), 15);
    EXPECT_FALSE(ReadMachineName(QByteArray(1, '\0'), name));
    EXPECT_FALSE(ReadMachineName(QByteArray("../x\0", 5), name));
    EXPECT_FALSE(ReadMachineName(QByteArray("a b\0", 4), name));

    QString text;
    ASSERT_TRUE(ReadErrorText(QByteArray("line one\n12:00 FAKE: forged\0", 28), text));
    EXPECT_FALSE(text.contains(u'\n'));
    EXPECT_TRUE(ReadErrorText(QByteArray(2000, 'e'), text));
    EXPECT_EQ(text.size(), MAX_ERROR_TEXT);
    EXPECT_FALSE(ReadErrorText(QByteArray("\0abc", 4), text));
}

// Legal frames of every type, cut, spliced, corrupted and buried in junk:
// every frame handed on is whole, every payload that reaches a handler has
// its type's size, and the record readers behind the handlers survive what
// comes (the fuzz target's body; the sanitizer build runs this file too).
TEST(FrameCutter, MutatedStreamsOnlyYieldWholeFrames) {
    const QByteArray job = WriteEncodeJob(SampleJob());
    std::vector<QByteArray> seeds = {QByteArray(FRAME_START, 3),
                                     QByteArray(FRAME_END, 3),
                                     Frame(NET_HEARTBEAT, WriteMachineName("Bigpc")),
                                     Frame(NET_CANENCODE, job),
                                     Frame(NET_CANENCODE_REPLY, WriteReplyCode(CANENCODE_NOWRITE)),
                                     Frame(NET_ENCODE, job),
                                     Frame(NET_PROGRESS, WriteProgressRecord(QueueEntry())),
                                     Frame(NET_ERROR, WriteErrorText("Could not open file x."))};
    for (std::uint32_t type = NET_CANCEL; type <= NET_RESUME; ++type) {
        seeds.push_back(Frame(type));
    }
    std::mt19937 random(20261207);
    for (int stream = 0; stream < 4000; ++stream) {
        QByteArray bytes(1, char(random() % 256)); // how the fuzz body splits its reads
        for (int p = int(random() % 9); p > 0; --p) {
            QByteArray piece = seeds[random() % seeds.size()];
            switch (random() % 6) {
            case 0: // cut short
                piece.truncate(qsizetype(random() % piece.size()));
                break;
            case 1: // bytes flipped
                for (int f = 0; f < 4; ++f) {
                    piece[qsizetype(random() % piece.size())] = char(random() % 256);
                }
                break;
            case 2: // junk
                piece = QByteArray(int(random() % 3000), char(random() % 256));
                break;
            case 3: // no end marker, long payload
                piece.chop(3);
                piece += QByteArray(int(random() % 9000), 'x');
                break;
            case 4: // mostly marker bytes, so frames form often
                piece.resize(qsizetype(random() % 600));
                for (char& b : piece) {
                    b = char(random() % 2 ? 0xF8 + random() % 7 : random() % 256);
                }
                break;
            default:
                break;
            }
            bytes += piece;
        }
        ASSERT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                         std::size_t(bytes.size())),
                  0);
        FrameCutter cutter;
        bool open = true;
        for (qsizetype at = 1; at < bytes.size() && open;) {
            const QByteArray read = bytes.mid(at, qsizetype(1 + random() % 700));
            at += read.size();
            std::vector<QByteArray> frames;
            open = cutter.Feed(read.constData(), int(read.size()), frames);
            for (const QByteArray& frame : frames) {
                ASSERT_GE(frame.size(), 6);
                ASSERT_TRUE(frame.startsWith(QByteArray(FRAME_START, 3)));
                ASSERT_TRUE(frame.endsWith(QByteArray(FRAME_END, 3)));
                for (const Posted& posted : Dispatch(frame)) {
                    const int length = posted.payload ? int(posted.payload->size()) : 0;
                    ASSERT_EQ(length, int(frame.size()) - FRAME_OVERHEAD);
                }
            }
            ASSERT_TRUE(!open || cutter.Held() <= MAX_UNFRAMED_BYTES);
        }
    }
}
