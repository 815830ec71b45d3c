#pragma once

#include "link/tick_timer.h"
#include "simulator/recorder_sim.h"
#include "tests/window/window_fixture.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

// The main window on COM1 with the simulated recorder behind it, the link at
// twenty times real speed.
class RecorderWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
        SetTimeScale(20);
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    // Opens the window (after any settings file of the test was written).
    TZorvan& OpenOnRecorder() {
        TZorvan& w = OpenWindow();
        w.show();
        return w;
    }

    QByteArray runBytes(const QString& name) const {
        QFile f(QDir(window->RunFolder()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // A file of the run folder as lines, decoded from cp1251.
    QStringList runFile(const QString& name) const {
        QStringDecoder decoder("windows-1251");
        QStringList lines = QString(decoder(runBytes(name))).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    RecorderSimulator sim;
};
