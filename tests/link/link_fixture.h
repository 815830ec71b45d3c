#pragma once

#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "simulator/recorder_sim.h"
#include "tests/support/answering_gateway.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <ctime>
#include <gtest/gtest.h>

// A simulated recorder bound as COM1 in a port folder of the test's own,
// a port, the link and the requests over it.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.isValid());
        qputenv("ZORVAN_PORTS", ports.path().toLocal8Bit());
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(QFile::link(sim.DevicePath(), ports.filePath("com1")));
        ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    }

    void TearDown() override {
        (void)port.SetOpen(false);
        sim.Stop();
    }

    // The frames the recorder received, wake bytes included.
    QByteArray wire() const { return sim.ReceivedBytes(); }

    static QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

    static double cpuSeconds() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }

    QTemporaryDir ports;
    RecorderSimulator sim;
    Pordt port;
    bool breakRequested = false;
    DTrans link{port, breakRequested};
    AnsweringGateway messages;
    RecorderRequests requests{link, messages};
};
