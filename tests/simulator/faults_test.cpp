#include "pty_client.h"
#include "simulator/recorder_sim.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Faults = RecorderSimulator::Faults;

qint64 msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimulatorFaults : public ::testing::Test {
protected:
    void SetUp() override {
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
        ASSERT_TRUE(sim.Start());
        client = std::make_unique<PtyClient>(sim.DevicePath());
        ASSERT_TRUE(client->IsOpen());
    }

    // A clock read: 8 reply bytes when all is well.
    QByteArray clockRead(int waitMs = 400) {
        return client->Exchange(ReadRequest(0, 5, 7), 8, waitMs);
    }

    RecorderSimulator sim;
    std::unique_ptr<PtyClient> client;
};

} // namespace

TEST_F(SimulatorFaults, ReplyShapes) {
    const struct {
        const char* name;
        Faults faults;
        const char* reply; // to the clock read, after the faults
    } cases[] = {
        {"none", {}, "04 31 12 07 12 26 00 79"},
        {"silent", {.silent = true}, ""},
        {"bad checksum", {.badChecksum = true}, "04 31 12 07 12 26 00 7A"},
        {"cut after 3", {.cutAfter = 3}, "04 31 12"},
        {"cut after 0", {.cutAfter = 0}, ""},
        {"two extra bytes", {.extraBytes = 2}, "04 31 12 07 12 26 00 79 A5 B6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetFaults(c.faults);
        EXPECT_EQ(sim.CurrentFaults().cutAfter, c.faults.cutAfter);
        ASSERT_TRUE(client->Send(ReadRequest(0, 5, 7)));
        EXPECT_EQ(Hex(client->ReceiveUntilQuiet(150)), c.reply);
    }
}

TEST_F(SimulatorFaults, SilenceDoesNotExecuteCommands) {
    sim.SetFaults({.silent = true});
    ASSERT_TRUE(client->Send(CommandRequest(0x0A)));
    ASSERT_TRUE(sim.WaitForRequests(1, 1000));
    EXPECT_TRUE(client->ReceiveUntilQuiet(100).isEmpty());
    EXPECT_EQ(sim.Bytes(4, 0x30000, 11), QByteArray(11, '\xFF')); // no erase event
}

TEST_F(SimulatorFaults, LostAcknowledgementStillErases) {
    sim.SetFaults({.cutAfter = 0});
    ASSERT_TRUE(client->Send(CommandRequest(0x0A)));
    ASSERT_TRUE(sim.WaitForRequests(1, 1000));
    EXPECT_TRUE(client->ReceiveUntilQuiet(100).isEmpty());
    EXPECT_EQ(std::uint8_t(sim.Bytes(4, 0x30000, 11)[10]), 0x07);
}

TEST_F(SimulatorFaults, ByteDelayComesBeforeEveryByte) {
    sim.SetFaults({.byteDelayMs = 20});
    const auto start = Clock::now();
    EXPECT_EQ(clockRead(1000).size(), 8);
    const qint64 ms = msSince(start);
    EXPECT_GE(ms, 8 * 20);
    EXPECT_LT(ms, 8 * 20 + 250);
}

TEST_F(SimulatorFaults, BaudPacesRequestAndReply) {
    // 1200 baud: 8.33 ms a byte; 8 request and 8 reply bytes.
    sim.SetFaults({.baud = 1200});
    auto start = Clock::now();
    EXPECT_EQ(clockRead(1000).size(), 8);
    qint64 ms = msSince(start);
    EXPECT_GE(ms, 16 * 1000 * 10 / 1200 - 1);
    EXPECT_LT(ms, 16 * 1000 * 10 / 1200 + 100);

    // A long reply keeps to the line speed without drifting: 8 + 258 bytes
    // at 9600 baud are 277 ms.
    sim.SetFaults({.baud = 9600});
    start = Clock::now();
    EXPECT_EQ(client->Exchange(ReadRequest(0x30000, 255, 4), 258, 2000).size(), 258);
    ms = msSince(start);
    EXPECT_GE(ms, 276);
    EXPECT_LT(ms, 277 + 100);
}

TEST_F(SimulatorFaults, BaudPacesTheRequestItself) {
    // The request counts only once its last byte has crossed the line.
    sim.SetFaults({.baud = 1200});
    const auto start = Clock::now();
    ASSERT_TRUE(client->Send(ReadRequest(0, 5, 7)));
    ASSERT_TRUE(sim.WaitForRequests(1, 1000));
    EXPECT_GE(msSince(start), 8 * 1000 * 10 / 1200 - 1);
    client->ReceiveUntilQuiet(150);
}

TEST(SimulatorTiming, LogTellsTheClientsReactionAndHowLateEachPacedReplyEnded) {
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("timing.txt"));
    RecorderSimulator sim;
    sim.SetTimingLog(log);
    sim.SetFaults({.baud = 9600});
    ASSERT_TRUE(sim.Start());
    PtyClient client(sim.DevicePath());
    EXPECT_EQ(client.Exchange(ReadRequest(0, 5, 7), 8).size(), 8);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(client.Exchange(ReadRequest(0, 5, 7), 8).size(), 8);
    // Unpaced replies have no line schedule: not logged.
    sim.SetFaults({});
    EXPECT_EQ(client.Exchange(ReadRequest(0, 5, 7), 8).size(), 8);
    sim.Stop();

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QList<QByteArray> first = lines[0].split(' ');
    const QList<QByteArray> second = lines[1].split(' ');
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(first[0], "-1");
    EXPECT_GE(second[0].toLongLong(), 40000);
    EXPECT_LT(second[0].toLongLong(), 40000 + 250000);
    for (const QList<QByteArray>& line : {first, second}) {
        EXPECT_GE(line[1].toLongLong(), 0);
        EXPECT_LT(line[1].toLongLong(), 250000);
    }
}

TEST_F(SimulatorFaults, FailNextRequestsForAnAddress) {
    sim.FailNextRequests(0xFFFEC, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(client->Exchange(ReadRequest(0xFFFEC, 11, 4), 14, 200).isEmpty()) << i;
        // Other addresses are not touched.
        EXPECT_EQ(clockRead().size(), 8);
    }
    EXPECT_EQ(client->Exchange(ReadRequest(0xFFFEC, 11, 4), 14).size(), 14);
    EXPECT_EQ(sim.Requests().size(), 5u);
}

TEST_F(SimulatorFaults, EraseAcknowledgementComesLate) {
    sim.SetFaults({.eraseAckDelayMs = 300});
    const auto start = Clock::now();
    EXPECT_EQ(Hex(client->Exchange(CommandRequest(0x0B), 2, 2000)), "0B F4");
    EXPECT_GE(msSince(start), 300);
    // Reads are not delayed.
    const auto readStart = Clock::now();
    EXPECT_EQ(clockRead().size(), 8);
    EXPECT_LT(msSince(readStart), 250);
}

TEST_F(SimulatorFaults, VanishAfterRequests) {
    sim.SetFaults({.vanishAfter = 2});
    EXPECT_EQ(clockRead().size(), 8);
    EXPECT_FALSE(client->LineDead(50));
    EXPECT_EQ(clockRead().size(), 8);
    EXPECT_TRUE(client->LineDead(1000));
    EXPECT_FALSE(QFileInfo::exists(sim.DevicePath()));
    sim.Stop(); // still stops cleanly
}

TEST_F(SimulatorFaults, VanishAtOnce) {
    sim.SetFaults({.vanishAfter = 0});
    EXPECT_TRUE(client->LineDead(1000));
}

TEST_F(SimulatorFaults, FaultsChangeWhileServing) {
    sim.SetFaults({.silent = true});
    EXPECT_TRUE(clockRead(200).isEmpty());
    sim.SetFaults({});
    EXPECT_EQ(clockRead().size(), 8);
    EXPECT_TRUE(sim.WaitForRequests(2, 100));
}

TEST_F(SimulatorFaults, StopInterruptsALongDelay) {
    sim.SetFaults({.eraseAckDelayMs = 60000});
    ASSERT_TRUE(client->Send(CommandRequest(0x0B)));
    ASSERT_TRUE(sim.WaitForRequests(1, 1000));
    const auto start = Clock::now();
    sim.Stop();
    EXPECT_LT(msSince(start), 500);
}
