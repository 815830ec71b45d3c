#pragma once

// The built zorvan-cli as a process, started in a window test's start
// directory against the recorder simulator bound as COM1.

#include "link/tick_timer.h"
#include "simulator/recorder_sim.h"
#include "tests/window/window_fixture.h"

#include <QMap>
#include <QProcess>
#include <QStringDecoder>

inline constexpr int TimeScale = 20;

struct CliRun {
    int exitCode = -1;
    QStringList out; // standard output, line by line
    QString err;
};

class CliProcessTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(outDir.isValid());
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        SetTimeScale(TimeScale);
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    // The tool started in the start directory, as a user starts it there.
    void Start(QProcess& process, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVAN_PORTS", portDir.path());
        env.insert("ZORVAN_TIME_SCALE", QString::number(TimeScale));
        for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it)
            env.insert(it.key(), it.value());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(startDir.path());
        process.start(ZORVAN_CLI_PROGRAM, args);
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    CliRun Run(const QStringList& args) {
        QProcess process;
        Start(process, args);
        CliRun result;
        EXPECT_TRUE(process.waitForFinished(60000));
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
        result.out.removeAll(QString());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // The recorder's clock stands at the start of a minute, so both readouts
    // read the same time.
    void ResetClock() { sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4))); }

    static QByteArray Bytes(const QString& folder, const QString& name) {
        QFile f(QDir(folder).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // The log without the computer's time, its second line.
    static QStringList LogLines(const QString& folder) {
        const QString text = QStringDecoder("windows-1251")(Bytes(folder, "zorvlog.txt"));
        QStringList lines = text.split("\r\n");
        if (lines.size() > 1)
            lines.removeAt(1);
        return lines;
    }

    static void ExpectSameFiles(const QString& window, const QString& cli,
                                const QStringList& names) {
        for (const QString& name : names) {
            const QByteArray expected = Bytes(window, name);
            EXPECT_NE(expected, "<missing>") << name.toStdString();
            EXPECT_TRUE(Bytes(cli, name) == expected) << name.toStdString();
        }
        EXPECT_EQ(LogLines(cli), LogLines(window));
    }

    QTemporaryDir outDir;
    RecorderSimulator sim;
    // Set in the tool's environment besides the port folder and time scale.
    QMap<QString, QString> extraEnv;
};
