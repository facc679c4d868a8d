#include "net/can_encode_check.h"
#include "net/done_check.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/unc_tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The server "srv" exports its music folder; this client mounts it on /mnt.
class CanEncode : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        share = dir.path() + "/share";
        QDir().mkpath(share + "/out");
        Write(share + "/a.wav", QByteArray(100, 'w'));
        Write(dir.path() + "/mountinfo",
              "40 22 0:40 / " + share.toUtf8() + " rw - cifs //srv/Music rw\n");
        UncTables tables;
        tables.mountInfoPath = dir.path() + "/mountinfo";
        tables.smbConfPath = dir.path() + "/none.conf";
        tables.usershareDir = dir.path() + "/none";
        tables.computerName = "client";
        SetUncTables(tables);
        job.source = "\\\\SRV\\MUSIC\\a.wav";
        job.destination = "\\\\SRV\\MUSIC\\out\\a.MP3";
    }
    void TearDown() override { SetUncTables(UncTables()); }

    std::uint32_t Check(bool busy = false, bool codec = true) {
        return CheckCanEncode(job, busy, [codec](const EncodeJob&) { return codec; });
    }

    QTemporaryDir dir;
    QString share;
    EncodeJob job;
};

} // namespace

TEST_F(CanEncode, AnswersInOrderAndLeavesNoProbe) {
    EXPECT_EQ(Check(), CANENCODE_OK);
    EXPECT_FALSE(QFile::exists(share + "/out/lkj.lkj"));
    EXPECT_EQ(QDir(share + "/out").entryList(QDir::Files), QStringList());
    EXPECT_EQ(Check(true), CANENCODE_BUSY);

    // A missing codec is answered before any file is touched.
    job.source = "\\\\SRV\\MUSIC\\missing.wav";
    EXPECT_EQ(Check(false, false), CANENCODE_NOCODEC);
    EXPECT_EQ(Check(), CANENCODE_NOREAD);
    job.source = "\\\\SRV\\MUSIC\\..\\a.wav"; // escapes are never opened
    EXPECT_EQ(Check(), CANENCODE_NOREAD);
    job.source = "\\\\SRV\\MUSIC\\a.wav";
    job.destination = "\\\\SRV\\MUSIC\\nodir\\a.MP3";
    EXPECT_EQ(Check(), CANENCODE_NOWRITE);
    job.destination = "\\\\OTHER\\MUSIC\\a.MP3";
    EXPECT_EQ(Check(), CANENCODE_NOWRITE);
}

TEST_F(CanEncode, UnwritableOutputIsFiveAndAUserFileNamedLikeTheProbeStays) {
    Write(share + "/out/lkj.lkj", "keep me");
    EXPECT_EQ(Check(), CANENCODE_OK);
    QFile kept(share + "/out/lkj.lkj");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep me"));
    EXPECT_EQ(QDir(share + "/out").entryList(QDir::Files), QStringList{"lkj.lkj"});

    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    chmod((share + "/out").toLocal8Bit().constData(), 0555);
    EXPECT_EQ(Check(), CANENCODE_NOWRITE);
    chmod((share + "/out").toLocal8Bit().constData(), 0755);
}

TEST(DoneCheck, OnlyAWholeLookingOutputCounts) {
    QTemporaryDir dir;
    const QString output = dir.filePath("a.MP3");
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // never written
    Write(output, QByteArray());
    EXPECT_FALSE(OutputLooksComplete(output, 0)); // empty
    Write(output, QByteArray(4999, 'm'));
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // too short for ten seconds
    Write(output, QByteArray(5000, 'm'));
    EXPECT_TRUE(OutputLooksComplete(output, 10));
    EXPECT_FALSE(OutputLooksComplete(dir.path(), 0)); // a folder is no output
}
