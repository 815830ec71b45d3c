#include "pty_client.h"
#include "simulator/recorder_sim.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace {

// A running simulator and a client on its line.
class SimulatorLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start());
        client = std::make_unique<PtyClient>(sim.DevicePath());
        ASSERT_TRUE(client->IsOpen());
    }

    // A read of n data bytes: checks the reply layout, returns the data.
    QByteArray read(std::uint32_t address, std::uint8_t n, std::uint8_t selector) {
        const QByteArray reply = client->Exchange(ReadRequest(address, n, selector), n + 3);
        EXPECT_EQ(reply.size(), n + 3) << Hex(reply).constData();
        if (reply.size() != n + 3) {
            return {};
        }
        EXPECT_EQ(std::uint8_t(reply[0]), 0x04);
        EXPECT_EQ(std::uint8_t(reply[n + 1]), 0x00);
        EXPECT_EQ(ByteSum(reply), 0xFF);
        return reply.mid(1, n);
    }

    RecorderSimulator sim;
    std::unique_ptr<PtyClient> client;
};

const QDateTime clockTime(QDate(2026, 12, 7), QTime(12, 31));

} // namespace

TEST_F(SimulatorLine, ReadRepliesOfEverySelector) {
    sim.SetClock(clockTime);
    sim.SetBytes(6, 0, FromHex("00 03 00 0B 00 01 FF F0"));
    sim.SetBytes(5, 29, FromHex("00 10 15 03 09"));
    sim.SetBytes(4, 35, FromHex("25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05"));
    sim.SetBytes(4, 120, FromHex("07 14 25 12 09 0C 05 01 00 80 41"));
    sim.SetBytes(4, 0xFFFEC, FromHex("01 02 03 04 05 06 07 08 09 0A 0B"));
    sim.SetBytes(3, 1538, QByteArray("\xC0\xC1\xC2-1234\0\0", 10));
    const struct {
        std::uint32_t address;
        std::uint8_t length;
        std::uint8_t selector;
        const char* data;
    } cases[] = {
        {0, 5, 7, "31 12 07 12 26"},
        {0, 8, 6, "00 03 00 0B 00 01 FF F0"},
        {29, 5, 5, "00 10 15 03 09"},
        {35, 16, 4, "25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05"},
        {120, 11, 4, "07 14 25 12 09 0C 05 01 00 80 41"},
        {0xFFFEC, 11, 4, "01 02 03 04 05 06 07 08 09 0A 0B"},
        {0x2FFF0, 16, 4, "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"},
        {1538, 10, 3, "C0 C1 C2 2D 31 32 33 34 00 00"},
        {0x100000, 2, 4, "FF FF"}, // past the main memory
        {0, 3, 9, "FF FF FF"},     // no such area
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(Hex(read(c.address, c.length, c.selector)), c.data);
    }
}

TEST_F(SimulatorLine, LongestAndShortestReads) {
    sim.SetBytes(4, 0x30000, QByteArray(255, '\x5A'));
    EXPECT_EQ(read(0x30000, 255, 4), QByteArray(255, '\x5A'));
    EXPECT_EQ(read(0x30000, 0, 4), QByteArray());
}

TEST_F(SimulatorLine, FrameWithBadSumGetsNoReply) {
    QByteArray bad = ReadRequest(0, 5, 7);
    bad[7] = char(bad[7] + 1);
    EXPECT_TRUE(client->Exchange(bad, 1, 300).isEmpty());
    ASSERT_TRUE(sim.WaitForRequests(1, 1000));
    EXPECT_FALSE(sim.Requests()[0].checksumOk);
    // The recorder waits for the next wake byte and answers that frame.
    EXPECT_EQ(read(0, 5, 7).size(), 5);
}

TEST_F(SimulatorLine, BytesBeforeTheWakeByteAreIgnored) {
    sim.SetBytes(6, 0, FromHex("00 03 00 0B 00 01 FF F0"));
    ASSERT_TRUE(client->Send(FromHex("04 00 00 00 08 06 ED FF 0A F5")));
    EXPECT_EQ(Hex(read(0, 8, 6)), "00 03 00 0B 00 01 FF F0");
    EXPECT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.EventPointer(), 0x3000Bu); // the stray 0A F5 erased nothing
}

TEST_F(SimulatorLine, ClockWriteThenRead) {
    const char* cases[] = {"31 12 07 12 26", "00 00 01 01 00", "59 23 31 12 99"};
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        const QByteArray ack =
            client->Exchange(WriteRequest(0, 4, FromHex(c) + FromHex("00 00 00")), 2);
        ASSERT_EQ(ack.size(), 2);
        EXPECT_EQ(ByteSum(ack), 0xFF);
        EXPECT_EQ(Hex(read(0, 5, 7)), c);
    }
    EXPECT_EQ(sim.Clock().date(), QDate(2099, 12, 31));
}

TEST_F(SimulatorLine, OtherWritesAreRefused) {
    sim.SetClock(clockTime);
    EXPECT_TRUE(client->Exchange(WriteRequest(0x30000, 1, FromHex("01 02 03")), 1, 400).isEmpty());
    EXPECT_EQ(sim.Bytes(4, 0x30000, 3), QByteArray(3, '\xFF'));
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].length, 3);
    // The line is free again for the next request.
    EXPECT_EQ(Hex(read(0, 5, 7)), "31 12 07 12 26");
}

TEST_F(SimulatorLine, EraseRecordsTheEraseEvent) {
    GenerateOptions o;
    o.wrapped = true;
    o.newest = QDateTime(QDate(2026, 12, 1), QTime(8, 0));
    sim.Generate(o);
    sim.SetClock(clockTime);
    const QByteArray ack = client->Exchange(CommandRequest(0x0A), 2);
    EXPECT_EQ(Hex(ack), "0A F5");
    EXPECT_EQ(Hex(read(0, 8, 6)), "00 03 00 00 00 01 00 00");
    EXPECT_EQ(Hex(read(0x30000, 11, 4)), "31 12 07 12 26 FF FF 00 00 00 07");
    EXPECT_EQ(Hex(read(120, 11, 4)), "31 12 07 12 26 FF FF 00 00 00 07");
    EXPECT_EQ(Hex(read(29, 5, 5)), "31 12 07 12 26");
    EXPECT_EQ(read(0xFFFEC, 11, 4), QByteArray(11, '\xFF'));
    EXPECT_EQ(read(0x3000B, 11, 4), QByteArray(11, '\xFF'));
    EXPECT_EQ(read(0x2FFF0, 16, 4), QByteArray(16, '\xFF'));
    EXPECT_EQ(read(35, 16, 4), QByteArray(16, '\xFF'));
}

TEST_F(SimulatorLine, ResetBlanksTheSummator) {
    GenerateOptions o;
    o.events = 20;
    o.sums = 50;
    o.newest = clockTime;
    sim.Generate(o);
    const QByteArray events = sim.Bytes(4, 0x30000, 20 * 11);
    EXPECT_EQ(Hex(client->Exchange(CommandRequest(0x0B), 2)), "0B F4");
    EXPECT_EQ(sim.SumPointer(), 0x10000u);
    EXPECT_EQ(read(0x10000, 16, 4), QByteArray(16, '\xFF'));
    EXPECT_EQ(sim.Bytes(4, 0x10000, 0x20000).count('\xFF'), 0x20000);
    EXPECT_EQ(sim.Bytes(4, 0x30000, 20 * 11), events);
    EXPECT_EQ(sim.EventPointer(), 0x300D1u);
}

TEST_F(SimulatorLine, RequestLogShowsWhatCameIn) {
    sim.ClearReceived();
    const QByteArray wire = ReadRequest(0xFFFEC, 11, 4) +
                            WriteRequest(0, 4, FromHex("31 12 07 12 26 00 00 00")) +
                            CommandRequest(0x0B);
    ASSERT_TRUE(client->Send(wire));
    ASSERT_TRUE(sim.WaitForRequests(3, 2000));
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].command, 0x04);
    EXPECT_EQ(requests[0].address, 0xFFFECu);
    EXPECT_EQ(requests[0].length, 11);
    EXPECT_EQ(requests[0].selector, 4);
    EXPECT_EQ(Hex(requests[0].frame), "04 EC FF 0F 0B 04 F2");
    EXPECT_EQ(requests[1].command, 0x05);
    EXPECT_EQ(requests[1].address, 0u);
    EXPECT_EQ(requests[1].length, 8);
    EXPECT_EQ(requests[1].selector, 4); // the write's parameter
    EXPECT_EQ(requests[1].frame.size(), 14);
    EXPECT_EQ(requests[2].command, 0x0B);
    EXPECT_EQ(Hex(requests[2].frame), "0B F4");
    EXPECT_TRUE(requests[2].checksumOk);
    client->ReceiveUntilQuiet(100);
    EXPECT_EQ(sim.ReceivedBytes(), wire);
    sim.ClearRequests();
    sim.ClearReceived();
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_TRUE(sim.ReceivedBytes().isEmpty());
    EXPECT_FALSE(sim.WaitForRequests(1, 50));
}

TEST_F(SimulatorLine, ClientMayCloseAndReopenThePort) {
    sim.SetClock(clockTime);
    EXPECT_EQ(read(0, 5, 7).size(), 5);
    client.reset();
    client = std::make_unique<PtyClient>(sim.DevicePath());
    ASSERT_TRUE(client->IsOpen());
    EXPECT_EQ(Hex(read(0, 5, 7)), "31 12 07 12 26");
}

TEST_F(SimulatorLine, ImageSaveAndLoadRoundTrip) {
    GenerateOptions o;
    o.seed = 5;
    o.newest = clockTime;
    sim.Generate(o);
    sim.SetClock(clockTime);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("recorder.img"));
    ASSERT_TRUE(sim.SaveImage(path));
    RecorderSimulator other;
    ASSERT_TRUE(other.LoadImage(path));
    for (std::uint8_t selector : {3, 4, 5, 6}) {
        EXPECT_EQ(other.Bytes(selector, 0, 0x100000), sim.Bytes(selector, 0, 0x100000));
    }
    EXPECT_EQ(Hex(other.Bytes(7, 0, 5)), "31 12 07 12 26");
    EXPECT_FALSE(other.LoadImage(dir.filePath(QStringLiteral("missing.img"))));
    EXPECT_FALSE(sim.SaveImage(dir.filePath(QStringLiteral("no/such/folder.img"))));
    // Served on the line, the loaded memory answers like the original.
    other.SetFaults({});
    ASSERT_TRUE(other.Start());
    PtyClient second(other.DevicePath());
    EXPECT_EQ(second.Exchange(ReadRequest(120, 11, 4), 14).mid(1, 11), sim.Bytes(4, 120, 11));
}

TEST(RecorderSimulatorLife, StartStopAndRestart) {
    RecorderSimulator sim;
    EXPECT_TRUE(sim.DevicePath().isEmpty());
    EXPECT_FALSE(sim.IsRunning());
    ASSERT_TRUE(sim.Start());
    EXPECT_FALSE(sim.Start()); // already serving
    EXPECT_TRUE(sim.DevicePath().startsWith(QStringLiteral("/dev/")));
    EXPECT_TRUE(sim.IsRunning());
    sim.Stop();
    sim.Stop();
    EXPECT_FALSE(sim.IsRunning());
    ASSERT_TRUE(sim.Start());
    PtyClient client(sim.DevicePath());
    EXPECT_EQ(client.Exchange(ReadRequest(0, 5, 7), 8).size(), 8);
}
