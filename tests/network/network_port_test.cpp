// The port on the network at the link's level: bytes full of 0xFF both ways,
// the far port's speed, a port folder's text entry and a silent server.

#include "link/dtrans.h"
#include "link/net_stream.h"
#include "link/port_finder.h"
#include "tests/network/ser2net_fixture.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class NetworkPortTest : public NetworkTest {
protected:
    void TearDown() override {
        (void)port.SetOpen(false);
        NetworkTest::TearDown();
    }

    // The speed of the recorder's line as ser2net left it.
    speed_t LineSpeed() const {
        const int fd =
            ::open(QFile::encodeName(sim.DevicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        const bool read = fd >= 0 && ::tcgetattr(fd, &tio) == 0;
        if (fd >= 0)
            ::close(fd);
        return read ? ::cfgetospeed(&tio) : B0;
    }

    // ser2net lets the device of a closed connection go a moment later (tens
    // of milliseconds); until then its other accepter for the same device
    // turns a connection away ("Port's device already in use").
    bool OpenOnceFree() {
        for (int attempt = 0; attempt < 40; ++attempt) {
            if (port.SetOpen(true))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    Pordt port;
    bool breakRequested = false;
    DTrans link{port, breakRequested};
};

TEST_F(NetworkPortTest, RepliesAndRequestsFullOfFfCrossRfc2217Exactly) {
    // Blank runs and single bytes between them, as a part-filled memory reads.
    QByteArray memory;
    for (int i = 0; i < 0x400; ++i)
        memory.append(i % 5 == 3 ? static_cast<char>(i * 7) : '\xFF');
    sim.SetBytes(4, 0x3FF00, memory);
    ASSERT_TRUE(port.SetAddress(ser2net.Telnet()));
    ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    EXPECT_TRUE(port.OnNetwork());

    // Addresses holding 0xFF put it into the request frames as well.
    for (std::uint32_t address = 0x3FF00; address < 0x40300; address += 29) {
        ASSERT_EQ(link.ReadBlock(address, 29, 4), LinkOk) << std::hex << address;
        const QByteArray got(reinterpret_cast<const char*>(link.RxBuffer.data() + 1), 29);
        ASSERT_EQ(got, sim.Bytes(4, address, 29)) << std::hex << address;
    }
    // The recorder got each frame as sent, every 0xFF once, and its checksum.
    ASSERT_EQ(link.ReadBlock(0x3FFFF, 29, 4), LinkOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(link.RxBuffer.data() + 1), 29),
              sim.Bytes(4, 0x3FFFF, 29));
    const auto requests = sim.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().frame, QByteArray::fromHex("04FFFF031D04D9"));
    EXPECT_TRUE(requests.back().checksumOk);
    EXPECT_TRUE(sim.ReceivedBytes().endsWith(QByteArray::fromHex("0104FFFF031D04D9")));
    // A whole reply of blank memory.
    ASSERT_EQ(link.ReadBlock(0x50000, 29, 4), LinkOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(link.RxBuffer.data() + 1), 29),
              QByteArray(29, '\xFF'));
}

TEST_F(NetworkPortTest, TheSpeedSetByRfc2217ReachesTheFarPortARawOneKeepsItsOwn) {
    sim.SetFaults({.baud = 2400});
    ASSERT_TRUE(port.SetBaud(2400));
    ASSERT_TRUE(port.SetAddress(ser2net.Raw()));
    ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    EXPECT_EQ(port.Network().reportedBaud(), 0u);
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    EXPECT_EQ(LineSpeed(), speed_t(B9600)) << "the device server's own setting";
    ASSERT_TRUE(port.SetOpen(false));

    ASSERT_TRUE(port.SetAddress(ser2net.Telnet()));
    ASSERT_TRUE(OpenOnceFree()) << qPrintable(port.LastError());
    EXPECT_EQ(port.Network().reportedBaud(), 2400u);
    EXPECT_EQ(LineSpeed(), speed_t(B2400));
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    // A new speed on the open port goes to the far port as well.
    ASSERT_TRUE(port.SetBaud(4800));
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    EXPECT_EQ(port.Network().reportedBaud(), 4800u);
    EXPECT_EQ(LineSpeed(), speed_t(B4800));
}

TEST_F(NetworkPortTest, ATextEntryMakesACommonComNumberOfANetworkPort) {
    WriteEntry(3, ser2net.Telnet() + "\n");
    WriteEntry(4, "not an address\n");
    EXPECT_EQ(Pordt::DevicePath(3), ser2net.Telnet());
    EXPECT_EQ(DescribeComNumber(3), QStringLiteral("COM3: %1\nпо записи %2\nсетевой порт, RFC 2217")
                                        .arg(ser2net.Telnet(), ports.filePath("com3")));
    const QStringList lines = PortListLines();
    EXPECT_TRUE(lines.contains("COM3 " + ser2net.Telnet() + ": сетевой порт, RFC 2217"))
        << lines.join('|').toStdString();
    EXPECT_TRUE(PortSummary(FindSerialPorts()).contains("COM3 " + ser2net.Telnet()));

    ASSERT_TRUE(port.SetComNumber(3));
    ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    EXPECT_TRUE(port.OnNetwork());
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    // Another number of the same open port goes back to a local line.
    ASSERT_TRUE(port.SetComNumber(1));
    EXPECT_FALSE(port.OnNetwork());
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    // A text file that holds no address is no port.
    EXPECT_FALSE(port.SetComNumber(4));
    EXPECT_EQ(port.LastError(), Pordt::BadIdText);
}

// A telnet server that never takes up RFC 2217 (the wrong port of a device
// server, or one in another mode) fails the opening after the connection
// limit, not after the exchanges' retries.
TEST_F(NetworkPortTest, ASilentServerFailsTheOpeningAtTheConnectionLimit) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(port.SetAddress(QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort())));
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(port.SetOpen(true));
    EXPECT_EQ(port.LastError(),
              QStringLiteral("127.0.0.1:%1 не отвечает по RFC 2217").arg(silent.serverPort()));
    EXPECT_GE(t.elapsed(), NetStream::ConnectLimit.count() - 100);
    EXPECT_LT(t.elapsed(), NetStream::ConnectLimit.count() + 2000);
    EXPECT_FALSE(port.Open());
}

} // namespace
