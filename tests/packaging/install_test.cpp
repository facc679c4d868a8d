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
    void SetUp() override {
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), root.path());
        install.setProcessEnvironment(environment);
        install.start(QStringLiteral(CORVANE_CMAKE),
                      {"--install", QStringLiteral(CORVANE_BUILD_DIR)});
        ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0)
            << (install.readAllStandardOutput() + install.readAllStandardError()).toStdString();
    }

    // The one installed file whose path ends with `suffix`; empty unless exactly one.
    QString Find(const QString& suffix) const {
        QStringList found;
        QDirIterator it(root.path(), QDir::Files | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (const QString path = it.next(); path.endsWith(suffix)) {
                found.append(path);
            }
        }
        return found.size() == 1 ? found[0] : QString();
    }

    // The unit's text with its program moved under DESTDIR, and that program.
    std::pair<QString, QString> Unit(const QString& kind) const {
        QFile file(Find(QStringLiteral("/systemd/%1/corvane-encoder.service").arg(kind)));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QString unit = QString::fromUtf8(file.readAll());
        static const QRegularExpression EXEC(QStringLiteral("^ExecStart=(\\S+)"),
                                             QRegularExpression::MultilineOption);
        const QString program = EXEC.match(unit).captured(1);
        unit.replace(QStringLiteral("ExecStart=") + program,
                     QStringLiteral("ExecStart=") + root.path() + program);
        return {unit, root.path() + program};
    }

    QTemporaryDir root;
};

TEST_F(Install, PutsTheProgramItsEncodersAndBothUnitsInPlace) {
    EXPECT_FALSE(Find(QStringLiteral("/libBladeEnc.so")).isEmpty());
    EXPECT_FALSE(Find(QStringLiteral("/liblame_enc.so")).isEmpty());
    EXPECT_FALSE(Find(QStringLiteral("/x3enc")).isEmpty());
    for (const QString& kind : {QStringLiteral("system"), QStringLiteral("user")}) {
        const auto [unit, program] = Unit(kind);
        ASSERT_FALSE(unit.isEmpty()) << kind.toStdString();
        EXPECT_TRUE(unit.contains(QStringLiteral(" --headless --settings ")));
        EXPECT_TRUE(unit.contains(QStringLiteral("\nKillSignal=SIGTERM\n")));
        EXPECT_TRUE(unit.contains(QStringLiteral("\nRestart=on-failure\n")));
        EXPECT_FALSE(unit.contains(u'@')) << "unconfigured placeholder";
        // The unit's program is the installed one, and it runs from there.
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
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The user manager's checks want a runtime directory of their own.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.path());
    for (const QString& kind : {QStringLiteral("system"), QStringLiteral("user")}) {
        // Verification needs the unit's program to exist: the copy under DESTDIR.
        const QString copy = scratch.filePath(QStringLiteral("corvane-encoder.service"));
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(Unit(kind).first.toUtf8());
        file.close();

        QProcess verify;
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
