#include "link_fixture.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

TEST(PortPathTest, ComNumbersFollowTheWindowsLayerConvention) {
    QTemporaryDir empty;
    qputenv("ZORVAN_PORTS", empty.path().toLocal8Bit());
    EXPECT_EQ(Pordt::DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(Pordt::DevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(Pordt::DevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(Pordt::DevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(Pordt::DevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(Pordt::DevicePath(96), "/dev/ttyACM31");
    EXPECT_EQ(Pordt::DevicePath(97), "");
    EXPECT_EQ(Pordt::DevicePath(99), "");
}

TEST(PortPathTest, LinkInThePortFolderWins) {
    QTemporaryDir folder;
    qputenv("ZORVAN_PORTS", folder.path().toLocal8Bit());
    QFile device(folder.filePath("device"));
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    ASSERT_TRUE(QFile::link(folder.filePath("device"), folder.filePath("com33")));
    EXPECT_EQ(Pordt::DevicePath(33), QFileInfo(folder.filePath("device")).canonicalFilePath());
}

TEST(PortPathTest, PortFolderDefaultsToTheUsersConfiguration) {
    qunsetenv("ZORVAN_PORTS");
    EXPECT_EQ(Pordt::PortFolder(), QDir::homePath() + "/.config/zorvan/ports");
}

TEST(ClosedPortTest, MissingDeviceIsReportedAsNotExisting) {
    QTemporaryDir empty;
    qputenv("ZORVAN_PORTS", empty.path().toLocal8Bit());
    Pordt port;
    for (int com : {97, 99, 64}) {
        (void)port.SetComNumber(com);
        EXPECT_FALSE(port.SetOpen(true)) << com;
        EXPECT_EQ(port.LastError(), "ie_BadId - Specified comport doesn't exist");
        EXPECT_FALSE(port.Open());
    }
    // A link to a device that has gone away is just as missing.
    ASSERT_TRUE(QFile::link(empty.filePath("gone"), empty.filePath("com5")));
    (void)port.SetComNumber(5);
    EXPECT_FALSE(port.SetOpen(true));
    EXPECT_EQ(port.LastError(), "ie_BadId - Specified comport doesn't exist");
}

TEST(ClosedPortTest, NodeWithNoPortBehindItIsReportedAsNotExisting) {
    QTemporaryDir folder;
    qputenv("ZORVAN_PORTS", folder.path().toLocal8Bit());
    // A minor number of the standard serial driver that no port of this
    // machine uses: the node opens to "no such device".
    const QByteArray node = QFile::encodeName(folder.filePath("ttyS40"));
    if (::mknod(node.constData(), S_IFCHR | 0600, makedev(4, 104)) != 0)
        GTEST_SKIP() << "no device nodes can be made here";
    const int fd = ::open(node.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int openError = errno;
    if (fd >= 0) {
        ::close(fd);
        GTEST_SKIP() << "this machine has that port";
    }
    if (openError != ENXIO && openError != EIO && openError != ENODEV)
        GTEST_SKIP() << "the node fails otherwise here: " << openError;
    ASSERT_TRUE(QFile::link(folder.filePath("ttyS40"), folder.filePath("com7")));
    Pordt port;
    (void)port.SetComNumber(7);
    EXPECT_FALSE(port.SetOpen(true));
    EXPECT_EQ(port.LastError(), "ie_BadId - Specified comport doesn't exist");
    EXPECT_FALSE(port.Open());
}

TEST(ClosedPortTest, ByteOperationsNeedAnOpenPort) {
    Pordt port;
    EXPECT_EQ(port.OutputCount(), 0);
    EXPECT_FALSE(port.InputReady());
    EXPECT_FALSE(port.SendByte(0x01));
    EXPECT_EQ(port.LastError(), "ie_NOpen - device not open");
    const std::uint8_t frame[2] = {0x0A, 0xF5};
    EXPECT_FALSE(port.SendBlock(frame, 2));
    EXPECT_FALSE(port.FlushInput());
    EXPECT_TRUE(port.SetOpen(false)); // closing a closed port does nothing
}

TEST(ClosedPortTest, SettingsAreStoredWhileClosed) {
    Pordt port;
    EXPECT_EQ(port.ComNumber(), 1);
    EXPECT_EQ(port.Baud(), 9600);
    EXPECT_TRUE(port.SetComNumber(7));
    EXPECT_TRUE(port.SetBaud(2400));
    EXPECT_EQ(port.ComNumber(), 7);
    EXPECT_EQ(port.Baud(), 2400);
    EXPECT_FALSE(port.Open());
}

using PortTest = LinkTest;

TEST_F(PortTest, OpeningTwiceAndClosingTwiceDoNothing) {
    EXPECT_TRUE(port.Open());
    EXPECT_TRUE(port.SetOpen(true));
    EXPECT_TRUE(port.Open());
    EXPECT_TRUE(port.SetOpen(false));
    EXPECT_TRUE(port.SetOpen(false));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.OutputCount(), 0);
    EXPECT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
}

TEST_F(PortTest, SecondPortOnTheSameDeviceIsRefused) {
    Pordt second;
    EXPECT_FALSE(second.SetOpen(true));
    EXPECT_EQ(second.LastError(), "ie_Open - device already open");
    // Released by the first, the device is free again.
    ASSERT_TRUE(port.SetOpen(false));
    EXPECT_TRUE(second.SetOpen(true)) << qPrintable(second.LastError());
}

TEST_F(PortTest, LineLockedByAnotherProgramIsRefused) {
    ASSERT_TRUE(port.SetOpen(false));
    const QByteArray device = QFile::encodeName(sim.DevicePath());
    // Another program holds the line with a lock on the device itself.
    const int other = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(port.SetOpen(true));
    EXPECT_EQ(port.LastError(), "ie_Open - device already open");
    EXPECT_FALSE(port.Open());
    ::close(other);

    // Free again; and while this port holds it, no other program can lock it.
    ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    const int late = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (late >= 0) {
        EXPECT_NE(::flock(late, LOCK_EX | LOCK_NB), 0);
        ::close(late);
    }
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
}

TEST_F(PortTest, ChangingTheNumberOfAnOpenPortReopensIt) {
    ASSERT_TRUE(QFile::link(sim.DevicePath(), ports.filePath("com2")));
    EXPECT_TRUE(port.SetComNumber(2));
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
    EXPECT_FALSE(port.SetComNumber(99)); // leads nowhere: closed
    EXPECT_FALSE(port.Open());
}

TEST_F(PortTest, FlushInputDropsALateReply) {
    // A clock read sent by hand, its reply never collected.
    const std::uint8_t frame[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x05, 0x07, 0xEF};
    ASSERT_TRUE(port.SendBlock(frame, sizeof frame));
    link.WaitTicks(3); // the whole reply is in by now
    EXPECT_TRUE(port.InputReady());
    EXPECT_TRUE(port.FlushInput());
    EXPECT_FALSE(port.InputReady());
}

TEST_F(PortTest, LineOutOfTheWaitsWakesNothingAndItsBytesWaitInTheDriver) {
    QSerialPort& device = port.Device();
    int readyReads = 0;
    QObject::connect(&device, &QSerialPort::readyRead, &device, [&] { ++readyReads; });
    // Blocks in the event loop for a few milliseconds at most.
    const auto wait = [] {
        QTimer timer;
        timer.start(5);
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    };
    QElapsedTimer t;
    t.start();

    port.WatchInput(false);
    const std::uint8_t frame[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x05, 0x07, 0xEF};
    ASSERT_TRUE(port.SendBlock(frame, sizeof frame));
    while (port.InputCount() < 8 && t.elapsed() < 3000)
        wait();
    EXPECT_EQ(port.InputCount(), 8);
    EXPECT_EQ(readyReads, 0);
    EXPECT_FALSE(port.InputReady()) << "still in the driver";

    port.WatchInput(true);
    while (readyReads == 0 && t.elapsed() < 3000)
        wait();
    EXPECT_EQ(readyReads, 1);
    EXPECT_TRUE(port.InputReady());
}

} // namespace
