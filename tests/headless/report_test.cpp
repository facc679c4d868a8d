#include "headless/json_report.h"
#include "headless/text_report.h"
#include "program_fixture.h"
#include "queue/queue_entry.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

constexpr const char* ERASE = "\r\033[K";

// A report writing into two temporary files, read back as text.
class ReportFixture : public testing::Test {
protected:
    void SetUp() override {
        output.out = std::tmpfile();
        output.err = std::tmpfile();
        ASSERT_NE(output.out, nullptr);
        ASSERT_NE(output.err, nullptr);
        output.clock = [this] { return nowMs; };
    }
    void TearDown() override {
        std::fclose(output.out);
        std::fclose(output.err);
    }

    static QString Read(std::FILE* file) { return testsupport::ReadBack(file); }

    static ProgressSample Sample(const QString& path, int percent) {
        ProgressSample sample;
        sample.path = path;
        sample.percent = percent;
        sample.batchPercent = percent / 2;
        sample.fileNumber = 1;
        sample.fileCount = 2;
        sample.elapsedText = QStringLiteral("00:03");
        sample.remainingText = QStringLiteral("00:00:09");
        sample.ratioText = QStringLiteral("0.25:1");
        sample.ratio = 0.25;
        return sample;
    }

    static QueueEntry Entry(const QString& path) {
        QueueEntry entry;
        SetEntryPath(entry, path);
        entry.outputPath = QStringLiteral("/out/a.MP3");
        entry.elapsedSeconds = 4;
        entry.elapsedText = QStringLiteral("00:04");
        entry.ratio = 0.5;
        entry.ratioText = QStringLiteral("0.50:1");
        return entry;
    }

    HeadlessOutput output;
    qint64 nowMs = 1000;
};

using TextReport = ReportFixture;

TEST_F(TextReport, StatusLineIsRedrawnInPlaceThinnedOutAndClearedBeforeEachLine) {
    output.terminal = true;
    HeadlessTextReport report(output);
    report.Progress(Sample(QStringLiteral("/in/a.wav"), 10));
    // Too soon after the last redraw: skipped.
    report.Progress(Sample(QStringLiteral("/in/a.wav"), 11));
    nowMs += 250;
    report.Progress(Sample(QStringLiteral("/in/a.wav"), 40));
    report.Message(QStringLiteral("warning: low disk"));
    report.Finished(Entry(QStringLiteral("/in/a.wav")), ReportedOutcome::Completed);

    const QString out = Read(output.out);
    const QString first = QStringLiteral(
        "[1/2] a.wav  10%  batch 5%  elapsed 00:03  remaining 00:00:09  ratio 0.25:1");
    EXPECT_TRUE(out.startsWith(ERASE + first)) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("11%")));
    EXPECT_TRUE(out.contains(ERASE + QStringLiteral("[1/2] a.wav  40%")));
    // The message and the file line each start on a cleared line.
    EXPECT_TRUE(out.endsWith(QStringLiteral("40%  batch 20%  elapsed 00:03  remaining 00:00:09  "
                                            "ratio 0.25:1") +
                             ERASE + QStringLiteral("/in/a.wav\tCompleted\t00:04\t0.50:1\n")))
        << out.toStdString();
    EXPECT_EQ(Read(output.err), QStringLiteral("warning: low disk\n"));

    // The other files running here are counted.
    ProgressSample sample = Sample(QStringLiteral("/in/a.wav"), 10);
    sample.running = 3;
    EXPECT_TRUE(FormatStatusLine(sample).startsWith(
        QStringLiteral("[1/2] a.wav  10%  (+2 running)  batch 5%  elapsed 00:03")))
        << FormatStatusLine(sample).toStdString();
}

TEST_F(TextReport, WithoutATerminalOnlyFileLinesAndQuietOnlyProblems) {
    {
        HeadlessTextReport report(output);
        report.Progress(Sample(QStringLiteral("/in/a.wav"), 10));
        report.Rejected(Rejection{QStringLiteral("/in/b.wav"),
                                  QStringLiteral("it is not a valid wave file"), QString()});
        report.Finished(Entry(QStringLiteral("/in/a.wav")), ReportedOutcome::Existing);
        EXPECT_EQ(Read(output.out),
                  QStringLiteral("/in/b.wav\tRejected\t00:00\t-\tit is not a valid wave file\n"
                                 "/in/a.wav\tCompleted (output exists)\t00:04\t0.50:1\n"));
    }
    std::fclose(output.out);
    output.out = std::tmpfile();
    output.quiet = true;
    output.terminal = true;
    HeadlessTextReport report(output);
    report.Progress(Sample(QStringLiteral("/in/a.wav"), 10));
    report.Message(QStringLiteral("warning: low disk"));
    report.Finished(Entry(QStringLiteral("/in/a.wav")), ReportedOutcome::Completed);
    report.Finished(Entry(QStringLiteral("/in/c.wav")), ReportedOutcome::Failed);
    report.Rejected(Rejection{QStringLiteral("/in/b.wav"), QStringLiteral("why"), QString()});
    EXPECT_EQ(Read(output.out), QString());
    EXPECT_EQ(Read(output.err), QStringLiteral("/in/c.wav\tError\t00:04\t0.50:1\n"
                                               "/in/b.wav\tRejected\t00:00\t-\twhy\n"));
}

using JsonReport = ReportFixture;

TEST_F(JsonReport, EveryLineIsOneObjectEvenForHostilePaths) {
    HeadlessJsonReport report(output);
    const QString odd = QStringLiteral("/in/\"quoted\"\tand\nnew line \u00e9\u266b\\.wav");
    report.Rejected(Rejection{odd, QStringLiteral("it is not a valid wave file"),
                              QStringLiteral("File x was rejected.")});
    QueueEntry failed = Entry(odd);
    report.Started(failed);
    report.Finished(failed, ReportedOutcome::Failed);
    report.Finished(Entry(QStringLiteral("/in/a.wav")), ReportedOutcome::Completed);
    report.BatchFinished(BatchCounts{3, 1, 1, 0, 1}, 1);
    report.Message(QStringLiteral("warning"));

    const QString out = Read(output.out);
    const std::vector<QJsonObject> events = testsupport::JsonLines(out.toUtf8());
    ASSERT_EQ(events.size(), 5u);
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("{\"event\":"))) << line.toStdString();
    }
    EXPECT_EQ((std::vector{events[0]["event"], events[0]["file"], events[0]["reason"],
                           events[1]["output"], events[2]["outcome"], events[2]["output"],
                           events[2]["ratio"], events[3]["outcome"], events[3]["ratio"],
                           events[3]["seconds"], events[4]["exit_code"], events[4]["rejected"]}),
              (std::vector<QJsonValue>{"rejected", odd, "it is not a valid wave file", "/out/a.MP3",
                                       "failed", QJsonValue::Null, QJsonValue::Null, "completed",
                                       0.5, 4, 1, 1}));
    // Messages never mix into the JSON stream.
    EXPECT_EQ(Read(output.err), QStringLiteral("warning\n"));
}

TEST_F(JsonReport, ProgressAtMostOnceASecondPerFileEachAtItsOwnPace) {
    HeadlessJsonReport report(output);
    // Sampled in turn, as several workers are: one line each, then quiet.
    for (int percent : {10, 20, 30}) {
        report.Progress(Sample(QStringLiteral("/in/a.wav"), percent));
        report.Progress(Sample(QStringLiteral("/in/b.wav"), percent));
    }
    // A new file's first figures are not held back.
    report.Started(Entry(QStringLiteral("/in/c.wav")));
    report.Progress(Sample(QStringLiteral("/in/c.wav"), 1));
    QStringList files;
    const std::vector<QJsonObject> events = testsupport::JsonLines(Read(output.out).toUtf8());
    for (const QJsonObject& event : events) {
        files << event["file"].toString();
    }
    ASSERT_EQ(files, QStringList({"/in/a.wav", "/in/b.wav", "/in/c.wav", "/in/c.wav"}));
    EXPECT_EQ(events[0]["percent"].toInt(), 10);
    EXPECT_EQ(events[0]["batch_percent"].toInt(), 5);
}

} // namespace
