#include "queue_fixture.h"

#include "app/error_log.h"
#include "app/output_path.h"
#include "app/program_directory.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>

namespace queuetest {

bool FakeEncoder::StartEncode(QObject*, int priority, const QString& sourcePath,
                              const QString& outputPath, int driverIndex, int formatIndex,
                              double* seconds) {
    if (refuseStart || running) {
        return false;
    }
    starts.push_back(Start{sourcePath, outputPath, priority, driverIndex, formatIndex});
    cancelled = false;
    running = true;
    *seconds = audioSeconds;
    return true;
}

QString FakeEncoder::DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                                   std::uint32_t* channels, std::uint32_t* bytesPerSec) {
    if (*manufacturerId == 0) {
        *manufacturerId = 9997;
        *productId = 9997;
    }
    if (*channels == 0) {
        *channels = 2;
    }
    if (*bytesPerSec == 0) {
        *bytesPerSec = 16000;
    }
    return QStringLiteral("Codec: %1 kBit/s with LAME Encoder").arg(*bytesPerSec * 8 / 1000);
}

void FakeEncoder::WritePartialOutput() {
    QFile out(starts.back().output);
    if (out.open(QIODevice::WriteOnly)) {
        out.write("partial");
    }
}

void FakeEncoder::Finish(bool ok) {
    ASSERT_TRUE(running);
    running = false;
    QFile out(starts.back().output);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(ok ? "complete mp3 output" : "partial");
    }
    if (onDone) {
        onDone(ok && !cancelled, starts.back().source);
    }
}

bool TestProbe(const QString& path, WaveFacts* facts) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        return false;
    }
    facts->durationSeconds = static_cast<double>(file.size() - 44) / 176400.0;
    facts->durationText = QStringLiteral("00:00");
    return true;
}

void QueueTest::SetUp() {
    ASSERT_TRUE(temp.isValid());
    sourceDir = temp.filePath(QStringLiteral("in"));
    outputDir = temp.filePath(QStringLiteral("out"));
    QDir().mkpath(sourceDir);
    QDir().mkpath(outputDir);
    SetProgramDirectory(temp.path());
    app = std::make_unique<CEncoderApp>(store);
    app->programDirectory = ProgramDirectory();
    app->settings.fromDir = sourceDir;
    app->settings.toDir = outputDir;
}

void QueueTest::TearDown() {
    QFile::remove(GetErrorLogPath());
}

QString QueueTest::MakeWav(const QString& name, std::uint32_t frames) {
    const QString path = sourceDir + u'/' + name;
    testsupport::WriteFile(path.toStdString(),
                           testsupport::MakePcmWav(testsupport::PcmFormat{}, frames));
    return path;
}

QString QueueTest::MakeJunk(const QString& name) {
    const QString path = sourceDir + u'/' + name;
    testsupport::WriteFile(path.toStdString(), {'n', 'o', 't', ' ', 'w', 'a', 'v'});
    return path;
}

AdmissionContext QueueTest::Context() {
    AdmissionContext context;
    context.probe = TestProbe;
    context.outputPathOf = [this](const QString& path) {
        return MakeOutputPath(path, app->settings, app->programDirectory);
    };
    context.reportError = [this](const QString& message) {
        reported.append(message);
        AddError(message);
    };
    return context;
}

QueueEntry* QueueTest::Admit(const QString& path) {
    QueueEntry* entry = AddNewFile(model, path, Context());
    if (entry != nullptr) {
        model.AddRowAtEnd(entry);
    }
    return entry;
}

QString QueueTest::ErrorLog() const {
    QFile file(GetErrorLogPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace queuetest
