#include "net/frame_cutter.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "queue/queue_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Legal frames of every type, to be cut, spliced and corrupted.
std::vector<QByteArray> Seeds() {
    EncodeJob job;
    job.source = QStringLiteral("\\\\BOX\\MUSIC\\a.wav");
    job.destination = QStringLiteral("\\\\BOX\\OUT\\a.MP3");
    const QByteArray jobBytes = WriteEncodeJob(job);
    const QByteArray progress = WriteProgressRecord(QueueEntry());
    const QByteArray name = WriteMachineName("Bigpc");
    const QByteArray error = WriteErrorText("Could not open file x.");
    const QByteArray reply = WriteReplyCode(CANENCODE_NOWRITE);
    std::vector<QByteArray> seeds = {
        BuildFrame(NET_HEARTBEAT, name.constData(), int(name.size())),
        BuildFrame(NET_CANENCODE, jobBytes.constData(), int(jobBytes.size())),
        BuildFrame(NET_CANENCODE_REPLY, reply.constData(), int(reply.size())),
        BuildFrame(NET_ENCODE, jobBytes.constData(), int(jobBytes.size())),
        BuildFrame(NET_PROGRESS, progress.constData(), int(progress.size())),
        BuildFrame(NET_ERROR, error.constData(), int(error.size())),
    };
    for (std::uint32_t type = NET_CANCEL; type <= NET_RESUME; ++type) {
        seeds.push_back(BuildFrame(type, nullptr, 0));
    }
    return seeds;
}

} // namespace

TEST(FrameSweep, MutatedStreamsNeverCrash) {
    const std::vector<QByteArray> seeds = Seeds();
    std::mt19937 random(5150);
    for (int round = 0; round < 6000; ++round) {
        QByteArray stream(1, char(random() % 256));
        const int pieces = 1 + int(random() % 8);
        for (int p = 0; p < pieces; ++p) {
            QByteArray piece = seeds[random() % seeds.size()];
            switch (random() % 5) {
            case 0: // cut short
                piece.truncate(qsizetype(random() % piece.size()));
                break;
            case 1: // flip bytes
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
            default:
                break;
            }
            stream += piece;
        }
        const std::vector<std::uint8_t> input = Bytes(stream);
        ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
    }
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> input(random() % 4096);
        for (std::uint8_t& b : input) {
            // Mostly marker bytes, so frames form often.
            b = random() % 2 ? std::uint8_t(0xF8 + random() % 7) : std::uint8_t(random() % 256);
        }
        ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
    }
}
