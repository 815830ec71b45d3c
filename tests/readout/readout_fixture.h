#pragma once

#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "readout/print_pager.h"
#include "readout/readout_host.h"
#include "simulator/recorder_sim.h"
#include "tests/support/answering_gateway.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>

// The window's side of a readout, recorded.
class RecordingHost : public ReadoutHost {
public:
    explicit RecordingHost(RecorderRequests& requests) : requests_(requests) {}

    void SetStatusPanel(int index, const QString& text) override { status[index] = text; }
    void SetReadoutColour() override { readoutColour = true; }
    void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
    void SetProgress(int value) override {
        progress = value;
        ++progressSteps;
        if (onProgress)
            onProgress(value);
    }
    void ShowNewestRecord() override { ++newestShown; }
    bool ReadClock() override { return requests_.ReadClock(clockText); }
    QString ClockText() const override { return clockText; }

    QString status[3];
    bool readoutColour = false;
    int progressMaximum = -1;
    int progress = 0;
    int progressSteps = 0;
    int newestShown = 0;
    QString clockText;
    std::function<void(int)> onProgress;

private:
    RecorderRequests& requests_;
};

// A simulated recorder on COM1, the link at twenty times real speed, and a
// temporary run folder as the current directory.
class ReadoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.isValid());
        ASSERT_TRUE(run.isValid());
        qputenv("ZORVAN_PORTS", ports.path().toLocal8Bit());
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(QFile::link(sim.DevicePath(), ports.filePath("com1")));
        ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
        previousDir = QDir::currentPath();
        QDir::setCurrent(run.path());
        SetTimeScale(20);
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
    }

    void TearDown() override {
        SetTimeScale(1);
        QDir::setCurrent(previousDir);
        (void)port.SetOpen(false);
        sim.Stop();
    }

    // A file of the run folder as text, decoded from cp1251.
    static QString fileText(const QString& name) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        QStringDecoder decoder("windows-1251");
        return decoder(f.readAll());
    }
    static QStringList fileLines(const QString& name) {
        QStringList lines = fileText(name).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // Addresses of the record reads, in order: the memory reads that follow
    // the pointer block.
    std::vector<std::uint32_t> recordReads() const {
        std::vector<std::uint32_t> out;
        bool pointerRead = false;
        for (const auto& r : sim.Requests()) {
            if (r.command == 4 && r.selector == 6)
                pointerRead = true;
            else if (pointerRead && r.command == 4 && r.selector == 4)
                out.push_back(r.address);
        }
        return out;
    }

    QTemporaryDir ports;
    QTemporaryDir run;
    QString previousDir;
    RecorderSimulator sim;
    Pordt port;
    bool breakRequested = false;
    DTrans link{port, breakRequested};
    AnsweringGateway messages;
    RecorderRequests requests{link, messages};
    RecordingHost host{requests};
    PrintPager pager;
    IdentData ident{};
};
