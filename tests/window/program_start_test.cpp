// The program before its window: what it answers over SSH, where there is no
// display to show a window on.

#include <QProcess>
#include <QProcessEnvironment>

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

} // namespace
