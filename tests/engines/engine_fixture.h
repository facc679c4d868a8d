#pragma once

#include "app/error_log.h"
#include "app/program_directory.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A private folder for each test, which also receives the error log.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectory(dir.path() + "/");
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString ErrorLog() const {
        QFile log(GetErrorLogPath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QTemporaryDir dir;
};
