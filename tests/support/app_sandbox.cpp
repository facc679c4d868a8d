#include "support/app_sandbox.h"

#include "app/error_log.h"
#include "app/program_directory.h"
#include "support/text_file.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>

namespace testsupport {

void AppSandbox::SetUp() {
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

void AppSandbox::TearDown() {
    QFile::remove(GetErrorLogPath());
}

QString AppSandbox::MakeWav(const QString& name, std::uint32_t frames, const QString& directory) {
    const QString path = (directory.isEmpty() ? sourceDir : directory) + u'/' + name;
    WriteFile(path.toStdString(), MakePcmWav(PcmFormat{}, frames));
    return path;
}

QString AppSandbox::ErrorLog() const {
    return QString::fromUtf8(ReadText(GetErrorLogPath()));
}

} // namespace testsupport
