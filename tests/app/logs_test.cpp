#include "app/command_line.h"
#include "app/error_log.h"
#include "app/locale_format.h"
#include "app/messages.h"
#include "app/program_directory.h"
#include "app/trace.h"
#include "support/text_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

QString ReadAll(const QString& path) {
    return QString::fromUtf8(testsupport::ReadText(path));
}

// Whole-text match, so that a failure shows the text.
testing::AssertionResult Matches(const char* pattern, const QString& text) {
    if (QRegularExpression(QString::fromLatin1(pattern)).match(text).hasMatch()) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << text.toStdString();
}

class Logs : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        SetProgramDirectory(dir.path());
        SetLocaleSettings(LocaleSettings{});
    }
    void TearDown() override {
        SetTraceEnabled(false);
        SetErrorRelay(false, nullptr);
        QDir::setCurrent(previousDir);
    }

    QTemporaryDir dir;
    QString previousDir;
};

// Collects relayed error messages.
class RelayReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == MSG_ERROR_RELAY) {
            auto* relay = static_cast<PayloadEvent<QString>*>(event);
            EXPECT_EQ(relay->WParam(), 0);
            messages.append(*relay->TakePayload());
            return true;
        }
        return QObject::event(event);
    }
    QStringList messages;
};

} // namespace

TEST(CommandLine, LogOptionIsASubstringInAnyCase) {
    // The program's own path does not count.
    EXPECT_EQ((std::vector{HasLogOption({"prog", "-log"}), HasLogOption({"prog", "-LOG"}),
                           HasLogOption({"prog", "x-logging"}),
                           HasLogOption({"prog", "file.wav", "-Log"}), HasLogOption({"prog"}),
                           HasLogOption({"prog", "log"}), HasLogOption({"/tmp/-log/prog"})}),
              (std::vector{true, true, true, true, false, false, false}));
}

TEST_F(Logs, TraceIsFormattedAlwaysAndWrittenOnlyWithLog) {
    Trace("wioFileOpen: %s %d\n", "x.wav", 7);
    EXPECT_FALSE(QFile::exists("debug.txt"));
    const QString line = QString::fromUtf8(LastTraceLine());
    EXPECT_TRUE(Matches("^\\d\\d:\\d\\d:\\d\\d wioFileOpen: x.wav 7\n$", line));

    SetTraceEnabled(true);
    Trace("first\n");
    Trace("second %u\n", 2u);
    const QString text = ReadAll("debug.txt");
    EXPECT_TRUE(Matches("^\\d\\d:\\d\\d:\\d\\d first\n\\d\\d:\\d\\d:\\d\\d second 2\n$", text));

    // An overlong line is cut, never overrun.
    Trace("%s\n", std::string(20000, 'a').c_str());
    EXPECT_EQ(std::strlen(LastTraceLine()), 8191u);
}

TEST_F(Logs, ErrorRecordsAndHasErrors) {
    EXPECT_FALSE(HasErrors()) << "missing file";
    QFile empty(GetErrorLogPath());
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(HasErrors()) << "empty file";

    EXPECT_TRUE(AddError(QString()));
    EXPECT_FALSE(HasErrors()) << "an empty message is ignored";

    EXPECT_EQ(GetErrorLogPath(), dir.filePath("error.log"));
    EXPECT_TRUE(AddError("File a.wav failed.", "STUDIO"));
    EXPECT_TRUE(AddError("Plain failure.", ""));
    EXPECT_TRUE(HasErrors());
    EXPECT_TRUE(
        Matches("^\\d\\d:\\d\\d STUDIO: File a.wav failed.\n\\d\\d:\\d\\d: Plain failure.\n$",
                ReadAll(GetErrorLogPath())));

    // The twelve-hour clock shows in the record's time.
    LocaleSettings twelve;
    twelve.clock24 = false;
    SetLocaleSettings(twelve);
    EXPECT_TRUE(Matches("^\\d\\d:\\d\\d [AP]M M: x\n$", FormatErrorRecord("x", "M", 1000000)));

    // A record after a line cut short by a crash starts a line of its own.
    {
        QFile log(GetErrorLogPath());
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write("10:00:00: File a.wav was rej");
    }
    ASSERT_TRUE(AddError(QStringLiteral("Error encoding b.wav")));
    ASSERT_TRUE(AddError(QStringLiteral("Error encoding c.wav")));
    EXPECT_TRUE(Matches("^10:00:00: File a.wav was rej\n.*: Error encoding b.wav\n"
                        ".*: Error encoding c.wav\n$",
                        ReadAll(GetErrorLogPath())));
}

TEST_F(Logs, RelayReplacesTheFileWhileOn) {
    RelayReceiver receiver;
    SetErrorRelay(true, &receiver);
    EXPECT_TRUE(AddError("relayed message", "ME"));
    QCoreApplication::sendPostedEvents(&receiver, MSG_ERROR_RELAY);
    EXPECT_EQ(receiver.messages, QStringList{"relayed message"})
        << "the bare message, not the record";
    EXPECT_FALSE(QFile::exists(GetErrorLogPath()));

    SetErrorRelay(false, nullptr);
    EXPECT_TRUE(AddError("written message"));
    EXPECT_TRUE(ReadAll(GetErrorLogPath()).contains("written message"));

    // A relay receiver that is gone drops the message instead of crashing.
    {
        RelayReceiver shortLived;
        SetErrorRelay(true, &shortLived);
    }
    EXPECT_TRUE(AddError("nobody listens"));
}

TEST_F(Logs, ConcurrentErrorsLoseNoLine) {
    constexpr int THREADS = 8;
    constexpr int PER_THREAD = 200;
    SetTraceEnabled(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < PER_THREAD; ++i) {
                AddError(QStringLiteral("thread %1 message %2").arg(t).arg(i), "W");
                Trace("thread %d trace %d\n", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const QStringList errors = ReadAll(GetErrorLogPath()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(errors.size(), THREADS * PER_THREAD);
    for (const QString& line : errors) {
        ASSERT_TRUE(Matches("^\\d\\d:\\d\\d W: thread \\d message \\d+$", line));
    }
    const QStringList traces = ReadAll("debug.txt").split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(traces.size(), THREADS * PER_THREAD);
}
