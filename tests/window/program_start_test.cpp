// The program before its window: what it answers over SSH, where there is no
// display to show a window on.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome RunWithoutDisplay(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZORVAN_PROGRAM), args);
    Outcome outcome;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.exitCode =
        process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -process.exitCode();
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

TEST(ProgramStart, VersionHelpAndBadOptionsNeedNoDisplay) {
    const Outcome version = RunWithoutDisplay({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("zorvan ") + QStringLiteral(ZORVAN_VERSION)))
        << version.out.toStdString();

    const Outcome help = RunWithoutDisplay({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--version")));
    EXPECT_FALSE(help.out.contains(QStringLiteral("-platform"))); // the GUI's own stay hidden

    // Refused before any window is tried, naming the option.
    const Outcome bogus = RunWithoutDisplay({QStringLiteral("--bogus")});
    EXPECT_EQ(bogus.exitCode, 1);
    EXPECT_TRUE(bogus.err.contains(QStringLiteral("bogus"))) << bogus.err.toStdString();
    EXPECT_EQ(bogus.err.count(QLatin1Char('\n')), 1) << bogus.err.toStdString();
}

TEST(ProgramStart, WithoutADisplayOneLinePointsToTheCommandLineTool) {
    const Outcome bare = RunWithoutDisplay({});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_EQ(bare.err.count(QLatin1Char('\n')), 1) << bare.err.toStdString();
    EXPECT_TRUE(bare.err.contains(QStringLiteral("zorvan-cli"))) << bare.err.toStdString();
    EXPECT_TRUE(bare.out.isEmpty());
}

TEST(ProgramStart, EndedByTheSessionItWritesItsSettingsAsWhenClosedAndTellsWhere) {
    QTemporaryDir start;
    QTemporaryDir home;
    ASSERT_TRUE(start.isValid() && home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("ZORVAN_PORTS"), home.filePath(QStringLiteral("ports")));
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(start.path());
        process.start(QStringLiteral(ZORVAN_PROGRAM), QStringList{});
        ASSERT_TRUE(process.waitForStarted(5000));
        // The run folder is made with the window.
        QString runFolder;
        for (int i = 0; i < 200 && runFolder.isEmpty(); ++i) {
            QThread::msleep(50);
            for (const QFileInfo& entry :
                 QDir(start.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
                if (!QFileInfo::exists(entry.filePath() + QStringLiteral("/zorvan.ini")))
                    runFolder = entry.absoluteFilePath();
        }
        ASSERT_FALSE(runFolder.isEmpty());
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(QFileInfo::exists(runFolder + QStringLiteral("/zorvan.ini")));
        EXPECT_TRUE(QFileInfo::exists(home.filePath(QStringLiteral("config/zorvan/zorvan.ini"))));
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("Файлы этого запуска: ") +
                                 QDir::toNativeSeparators(runFolder)))
            << out.toStdString();
        QFile::remove(home.filePath(QStringLiteral("config/zorvan/zorvan.ini")));
    }
}

} // namespace
