#include "pty_client.h"
#include "simulator/recorder_sim.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <gtest/gtest.h>

namespace {

QByteArray exchange(QSerialPort& port, const QByteArray& request, int n) {
    port.clear(QSerialPort::Input);
    port.write(request);
    port.waitForBytesWritten(1000);
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (reply.size() < n && timer.elapsed() < 2000) {
        if (port.bytesAvailable() > 0 || port.waitForReadyRead(100)) {
            reply.append(port.readAll());
        }
    }
    return reply;
}

bool openPort(QSerialPort& port, const QString& path) {
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) {
        return false;
    }
    return port.setBaudRate(9600) && port.setDataBits(QSerialPort::Data8) &&
           port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

} // namespace

// The program's own port class sits on QSerialPort: it must be able to open
// the line, talk, close and open it again as often as it likes.
TEST(SimulatorWithSerialPort, OpenTalkCloseReopen) {
    RecorderSimulator sim;
    sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
    ASSERT_TRUE(sim.Start());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QSerialPort port;
        ASSERT_TRUE(openPort(port, sim.DevicePath())) << port.errorString().toStdString();
        port.setDataTerminalReady(true); // a pty has no modem lines; must not hurt
        EXPECT_EQ(Hex(exchange(port, ReadRequest(0, 5, 7), 8)), "04 31 12 07 12 26 00 79");
        EXPECT_EQ(Hex(exchange(port, CommandRequest(0x0B), 2)), "0B F4");
        port.close();
    }
    EXPECT_EQ(sim.Requests().size(), 6u);
}
