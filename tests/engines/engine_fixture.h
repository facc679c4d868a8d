#pragma once

#include "engine_events.h"

#include "app/error_log.h"
#include "app/program_directory.h"
#include "engines/acm_mp3_target.h"
#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "support/text_file.h"
#include "support/wav_builder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

// A private folder for each test, which also receives the error log, and an
// encode of `target` whose messages `events` receives.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectory(dir.path() + "/");
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString ErrorLog() const { return QString::fromUtf8(testsupport::ReadText(GetErrorLogPath())); }

    QString Write(const QString& name, const testsupport::Bytes& bytes) const {
        const QString path = Path(name);
        EXPECT_TRUE(testsupport::WriteFile(path.toStdString(), bytes));
        return path;
    }

    QString WriteWav(const QString& name, const testsupport::PcmFormat& format,
                     std::uint32_t frames) const {
        return Write(name, testsupport::MakePcmWav(format, frames));
    }

    int Start(const QString& source, const QString& destination, double* seconds = nullptr) {
        events.done.clear();
        events.progress.clear();
        return StartEncode(control, &events, PRIORITY_NORMAL, source, destination, target, seconds);
    }

    // Runs an encode to its end; the completion message.
    EngineEvents::Done Encode(const QString& source, const QString& destination,
                              double* seconds = nullptr) {
        EXPECT_EQ(Start(source, destination, seconds), 1);
        EXPECT_TRUE(events.WaitForDone());
        events.Drain(50);
        EXPECT_EQ(events.done.size(), 1u);
        return events.done.empty() ? EngineEvents::Done{-1, {}} : events.done.back();
    }

    // Cancel while paused: the encode still ends, as a failure nobody is told about.
    void PauseCancelAndExpectTheEnd() {
        control.PauseEncode();
        control.CancelEncode();
        ASSERT_TRUE(events.WaitForDone(5000));
        events.Drain(50);
        ASSERT_EQ(events.done.size(), 1u);
        EXPECT_EQ(events.done[0].outcome, 0);
        EXPECT_TRUE(control.IsEncodeCancelled());
        EXPECT_FALSE(control.IsPaused());
        EXPECT_EQ(ErrorLog(), QString());
    }

    QTemporaryDir dir;
    EncodeControl control;
    EngineEvents events;
    EncodeTarget target;
};
