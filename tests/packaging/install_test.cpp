#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// `cmake --install` of this build into a scratch DESTDIR.
class Install : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root = std::make_unique<QTemporaryDir>();
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), root->path());
        install.setProcessEnvironment(environment);
        install.start(QStringLiteral(CORVANE_CMAKE),
                      {"--install", QStringLiteral(CORVANE_BUILD_DIR)});
        installed = install.waitForFinished(60000) && install.exitCode() == 0;
        log = install.readAllStandardOutput() + install.readAllStandardError();
    }
    static void TearDownTestSuite() { root.reset(); }

    // Installed files whose path ends with `suffix`.
    static QStringList Find(const QString& suffix) {
        QStringList found;
        QDirIterator it(root->path(), QDir::Files | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(suffix)) {
                found.append(path);
            }
        }
        return found;
    }

    static QString Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static QString ExecStart(const QString& unit) {
        static const QRegularExpression LINE(QStringLiteral("^ExecStart=(.*)$"),
                                             QRegularExpression::MultilineOption);
        return LINE.match(unit).captured(1);
    }

    static inline std::unique_ptr<QTemporaryDir> root;
    static inline bool installed = false;
    static inline QByteArray log;
};

TEST_F(Install, PutsTheProgramItsEncodersAndBothUnitsInPlace) {
    ASSERT_TRUE(installed) << log.toStdString();
    const QStringList system = Find(QStringLiteral("/systemd/system/corvane-encoder.service"));
    const QStringList user = Find(QStringLiteral("/systemd/user/corvane-encoder.service"));
    ASSERT_EQ(system.size(), 1);
    ASSERT_EQ(user.size(), 1);
    EXPECT_EQ(Find(QStringLiteral("/libBladeEnc.so")).size(), 1);
    EXPECT_EQ(Find(QStringLiteral("/liblame_enc.so")).size(), 1);
    EXPECT_EQ(Find(QStringLiteral("/x3enc")).size(), 1);

    for (const QString& unitPath : {system[0], user[0]}) {
        const QString unit = Read(unitPath);
        const QString command = ExecStart(unit);
        EXPECT_TRUE(command.contains(QStringLiteral(" --headless --settings ")))
            << command.toStdString();
        EXPECT_TRUE(unit.contains(QStringLiteral("\nKillSignal=SIGTERM\n")));
        EXPECT_TRUE(unit.contains(QStringLiteral("\nRestart=on-failure\n")));
        EXPECT_FALSE(unit.contains(u'@')) << "unconfigured placeholder";

        // The unit's program, under DESTDIR, is the installed program and runs.
        const QString program = root->path() + command.section(u' ', 0, 0);
        QProcess run;
        run.start(program, {"--version"});
        ASSERT_TRUE(run.waitForFinished(10000)) << program.toStdString();
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_TRUE(run.readAllStandardOutput().startsWith("corvane-encoder "));
    }
}

TEST_F(Install, UnitsPassSystemdVerification) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) {
        GTEST_SKIP() << "systemd-analyze is not installed; the unit files were not verified";
    }
    ASSERT_TRUE(installed) << log.toStdString();
    QTemporaryDir scratch;
    QDir().mkpath(scratch.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QString& kind : {QStringLiteral("system"), QStringLiteral("user")}) {
        const QStringList found =
            Find(QStringLiteral("/systemd/%1/corvane-encoder.service").arg(kind));
        ASSERT_EQ(found.size(), 1);
        // The unit names the program where it will be installed; verification
        // needs it to exist, so point it at the copy under DESTDIR.
        QString unit = Read(found[0]);
        const QString program = ExecStart(unit).section(u' ', 0, 0);
        unit.replace(QStringLiteral("ExecStart=") + program,
                     QStringLiteral("ExecStart=") + root->path() + program);
        const QString copy = scratch.filePath(QStringLiteral("corvane-encoder.service"));
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(unit.toUtf8());
        file.close();

        QProcess verify;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           scratch.filePath(QStringLiteral("runtime")));
        verify.setProcessEnvironment(environment);
        QStringList arguments{"verify", "--man=no", copy};
        if (kind == QStringLiteral("user")) {
            arguments.prepend(QStringLiteral("--user"));
        }
        verify.start(analyze, arguments);
        ASSERT_TRUE(verify.waitForFinished(30000));
        const QByteArray said = verify.readAllStandardOutput() + verify.readAllStandardError();
        EXPECT_EQ(verify.exitCode(), 0) << kind.toStdString() << ": " << said.toStdString();
        // Unknown keys and bad values are only warnings to systemd-analyze.
        EXPECT_TRUE(said.trimmed().isEmpty()) << kind.toStdString() << ": " << said.toStdString();
    }
}

} // namespace
