#pragma once

// A real ser2net in front of the recorder simulator's pseudo-terminal,
// listening on 127.0.0.1 only: one port passes the bytes raw, one speaks
// telnet with RFC 2217. The simulator is also bound as COM1, for the local
// readout the network ones are compared with.

#include "link/tick_timer.h"
#include "simulator/recorder_sim.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

// A port nothing listens on now.
inline std::uint16_t FreePort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

class Ser2net {
public:
    ~Ser2net() { Kill(); }

    // Serves device; true once both ports accept connections.
    bool Start(const QString& device) {
        if (!dir_.isValid())
            return false;
        if (rawPort == 0) {
            rawPort = FreePort();
            telnetPort = FreePort();
        }
        const QString config = dir_.filePath("ser2net.yaml");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QString connection = QStringLiteral("connection: &%1\n"
                                                  "  accepter: %2tcp,127.0.0.1,%3\n"
                                                  "  connector: serialdev,%4,9600n81,local\n"
                                                  "  options:\n"
                                                  "    kickolduser: true\n");
        file.write(connection.arg("raw", "").arg(rawPort).arg(device).toUtf8());
        file.write(
            connection.arg("rfc2217", "telnet(rfc2217),").arg(telnetPort).arg(device).toUtf8());
        file.close();
        // -u: no UUCP lock files outside the test's own folders.
        process_.start("ser2net", {"-n", "-u", "-c", config});
        if (!process_.waitForStarted(5000))
            return false;
        // Listening is told by the ports being taken: a probe connection
        // would open the device, and ser2net closes it again at its own pace.
        for (int i = 0; i < 250; ++i) {
            if (Taken(rawPort) && Taken(telnetPort))
                return true;
            if (process_.state() != QProcess::Running)
                return false;
            QThread::msleep(20);
        }
        return false;
    }

    static bool Taken(std::uint16_t port) {
        QTcpServer server;
        return !server.listen(QHostAddress::LocalHost, port) &&
               server.serverError() == QAbstractSocket::AddressInUseError;
    }

    void Kill() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(5000);
    }

    [[nodiscard]] QString Raw() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort); }
    [[nodiscard]] QString Telnet() const {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(telnetPort);
    }

    std::uint16_t rawPort = 0;
    std::uint16_t telnetPort = 0;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.isValid());
        qputenv("ZORVAN_PORTS", ports.path().toLocal8Bit());
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(QFile::link(sim.DevicePath(), ports.filePath("com1")));
        ASSERT_TRUE(ser2net.Start(sim.DevicePath())) << "ser2net did not start";
    }

    void TearDown() override {
        ser2net.Kill();
        sim.Stop();
        SetTimeScale(1);
    }

    // A port folder entry holding an address instead of a link.
    void WriteEntry(int com, const QString& text) {
        QFile entry(ports.filePath(QStringLiteral("com%1").arg(com)));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
        entry.write(text.toUtf8());
    }

    QTemporaryDir ports;
    RecorderSimulator sim;
    Ser2net ser2net;
};
