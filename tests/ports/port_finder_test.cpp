#include "link/port_finder.h"
#include "simulator/recorder_sim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A fresh port folder for each test, the user's own left alone.
class PortFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        saved = qgetenv("ZORVAN_PORTS");
        qputenv("ZORVAN_PORTS", QFile::encodeName(folder.path()));
    }
    void TearDown() override {
        if (saved.isEmpty())
            qunsetenv("ZORVAN_PORTS");
        else
            qputenv("ZORVAN_PORTS", saved);
    }
    void Bind(int n, const QString& device) {
        ASSERT_TRUE(QFile::link(device, folder.filePath(QStringLiteral("com%1").arg(n))));
    }

    QTemporaryDir folder;
    QByteArray saved;
};

TEST_F(PortFinderTest, NumbersFollowTheConventionUntilALinkTakesThem) {
    EXPECT_EQ(ComNumbersLeadingTo(QStringLiteral("/dev/ttyS0")), QList<int>{1});
    EXPECT_EQ(ComNumbersLeadingTo(QStringLiteral("/dev/ttyS31")), QList<int>{32});
    EXPECT_EQ(ComNumbersLeadingTo(QStringLiteral("/dev/ttyUSB0")), QList<int>{33});
    EXPECT_EQ(ComNumbersLeadingTo(QStringLiteral("/dev/ttyACM31")), QList<int>{96});
    EXPECT_TRUE(ComNumbersLeadingTo(QStringLiteral("/dev/ttyACM32")).isEmpty());

    RecorderSimulator sim;
    ASSERT_TRUE(sim.Start());
    Bind(1, sim.DevicePath());
    Bind(40, sim.DevicePath());
    // The links win: COM1 and COM40 lead to the pseudo-terminal, and neither
    // /dev/ttyS0 nor /dev/ttyUSB7 has a number any more.
    EXPECT_EQ(ComNumbersLeadingTo(sim.DevicePath()), (QList<int>{1, 40}));
    EXPECT_TRUE(ComNumbersLeadingTo(QStringLiteral("/dev/ttyS0")).isEmpty());
    EXPECT_TRUE(ComNumbersLeadingTo(QStringLiteral("/dev/ttyUSB7")).isEmpty());
    EXPECT_EQ(ComNumbersLeadingTo(QStringLiteral("/dev/ttyS1")), QList<int>{2});
}

TEST_F(PortFinderTest, APseudoTerminalBoundByALinkIsListedAndDescribed) {
    RecorderSimulator sim;
    ASSERT_TRUE(sim.Start());
    const QString pty = QFileInfo(sim.DevicePath()).canonicalFilePath();
    Bind(5, sim.DevicePath());
    Bind(6, folder.filePath(QStringLiteral("unplugged")));

    const QList<SerialPortEntry> ports = FindSerialPorts();
    int found = 0;
    for (const SerialPortEntry& port : ports) {
        EXPECT_NE(port.device, folder.filePath(QStringLiteral("unplugged")));
        if (port.device == pty) {
            ++found;
            EXPECT_EQ(port.comNumbers, QList<int>{5});
        }
    }
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(PortListLines().contains(QStringLiteral("COM5 ") + pty));
    EXPECT_TRUE(PortSummary(ports).contains(QStringLiteral("COM5 ") + pty));

    const QStringList com5 = DescribeComNumber(5).split(QLatin1Char('\n'));
    EXPECT_EQ(com5.value(0), QStringLiteral("COM5: ") + pty);
    EXPECT_EQ(com5.value(1),
              QStringLiteral("по ссылке ") + folder.filePath(QStringLiteral("com5")));
    EXPECT_EQ(DescribeComNumber(6).section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("COM6: ") + folder.filePath(QStringLiteral("unplugged")) +
                  QStringLiteral(" — устройства нет"));
    EXPECT_EQ(DescribeComNumber(97), QStringLiteral("COM97 никуда не ведет"));

    // Unbound, the number leads back to the convention's device.
    sim.Stop();
    QFile::remove(folder.filePath(QStringLiteral("com5")));
    EXPECT_TRUE(DescribeComNumber(5).startsWith(QStringLiteral("COM5: /dev/ttyS4")));
}

TEST(PortSummaryTest, NumberedPortsInOrderWithTheirDescription) {
    SerialPortEntry usb;
    usb.comNumbers = {33};
    usb.device = QStringLiteral("/dev/ttyUSB0");
    usb.description = QStringLiteral("FT232R USB UART");
    SerialPortEntry twoNames;
    twoNames.comNumbers = {1, 40};
    twoNames.device = QStringLiteral("/dev/pts/4");
    SerialPortEntry unnumbered;
    unnumbered.device = QStringLiteral("/dev/ttyAMA0");

    EXPECT_EQ(PortSummary({usb, twoNames, unnumbered}),
              QStringLiteral("Есть: COM33 /dev/ttyUSB0 (FT232R USB UART), COM1/COM40 /dev/pts/4"));
    EXPECT_EQ(PortSummary({unnumbered}), QStringLiteral("Ни один номер COM не ведет к порту"));
    EXPECT_EQ(PortSummary({}), QStringLiteral("Последовательных портов нет"));
}

} // namespace
