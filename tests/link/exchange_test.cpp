#include "link_fixture.h"

#include <QTimer>

#include <algorithm>
#include <sys/resource.h>

namespace {

using ExchangeTest = LinkTest;

qint64 elapsedMs(const QElapsedTimer& t) {
    return t.elapsed();
}

// A link clock that moves a whole tick each time the test's timer fires, so
// that an exchange sees every tick begin, however loaded the machine.
std::int64_t steppedMs = 0;
std::int64_t steppedClock() {
    return steppedMs;
}

TEST_F(ExchangeTest, ChecksumIsTheComplementOfTheByteSum) {
    link.TxBuffer = {0x04, 0x00, 0x00, 0x00, 0x05, 0x07};
    EXPECT_EQ(link.FrameChecksum(5), 0xEF);
    link.TxBuffer[0] = 0x0A;
    EXPECT_EQ(link.FrameChecksum(0), 0xF5);
    link.TxBuffer[0] = 0x0B;
    EXPECT_EQ(link.FrameChecksum(0), 0xF4);
}

TEST_F(ExchangeTest, ReadGoesOutBehindTheWakeByteAndItsDataLandFromIndexOne) {
    sim.SetBytes(4, 0x30000, hex("0714251209050C01008041"));
    EXPECT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    EXPECT_EQ(wire(), hex("01 04 00 00 03 0B 04 E9"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&link.RxBuffer[1]), 11),
              hex("0714251209050C01008041"));
    EXPECT_EQ(link.LastLinkResult, LinkOk);
}

TEST_F(ExchangeTest, SixteenByteReadExpectsNineteenReplyBytes) {
    const QByteArray record = hex("25140703090012340001F40003E80C05");
    sim.SetBytes(4, 35, record);
    ASSERT_EQ(link.ReadBlock(35, 16, 4), LinkOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&link.RxBuffer[1]), 16), record);
    int sum = 0;
    for (int k = 0; k < 19; ++k)
        sum += link.RxBuffer[static_cast<std::size_t>(k)];
    EXPECT_EQ(sum % 256, 0xFF);
}

TEST_F(ExchangeTest, WrongSumIsRejectedFiveTimes) {
    sim.SetFaults({.badChecksum = true});
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkBadReply);
    const qint64 ms = elapsedMs(t);
    EXPECT_EQ(link.LastLinkResult, LinkBadReply);
    EXPECT_EQ(sim.Requests().size(), 5u);
    // Each failed try ends with a pause of one tick (55-110 ms).
    EXPECT_GE(ms, 5 * 55);
    EXPECT_LT(ms, 5 * 110 + 200);
}

TEST_F(ExchangeTest, SumOneOffEitherWayIsRejected) {
    link.FrameAttempts = 1;
    sim.SetFaults({.badChecksum = true}); // sums to 0x00
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkBadReply);
    sim.SetFaults({.sumOneLow = true}); // sums to 0xFE
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkBadReply);
    sim.SetFaults({});
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
}

TEST_F(ExchangeTest, ReplyOfTheRightLengthIsAcceptedByItsSumAlone) {
    // The first reply byte is whatever the recorder sends; only the sum counts.
    sim.SetFaults({.cutAfter = -1});
    EXPECT_EQ(link.ExchangeFrame(0x0B, 0, 2), LinkOk);
    EXPECT_EQ((link.RxBuffer[0] + link.RxBuffer[1]) % 256, 0xFF);
}

TEST_F(ExchangeTest, ShortReplyTimesOutPerByte) {
    link.ReplyTimeout = 1; // 0 and 1 both mean 10 ticks
    link.FrameAttempts = 1;
    sim.SetFaults({.cutAfter = 7});
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkTimeout);
    const qint64 ms = elapsedMs(t);
    // The missing last byte waits one full limit (550-605 ms), then one tick.
    EXPECT_GE(ms, 550 + 55);
    EXPECT_LT(ms, 605 + 110 + 100);
    EXPECT_EQ(link.LastLinkResult, LinkTimeout);
}

TEST_F(ExchangeTest, ShortLimitEndsWhenTheEleventhTickBegins) {
    link.ReplyTimeout = 1;
    link.FrameAttempts = 1;
    sim.SetFaults({.silent = true});
    steppedMs = 55 * 1000;
    SetMonotonicClock(&steppedClock);
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [] { steppedMs += 55; });
    step.start(2);
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkTimeout);
    SetMonotonicClock(nullptr);
    // Sent in tick 1000, given up at the start of 1011, then the pause of
    // one whole tick.
    EXPECT_EQ(steppedMs / 55, 1013);
}

TEST_F(ExchangeTest, ExtraBytesAreDroppedAndDoNotDisturbTheNextExchange) {
    sim.SetFaults({.extraBytes = 5});
    sim.SetBytes(4, 120, hex("3009010310FFFF00000003"));
    EXPECT_EQ(link.ReadBlock(120, 11, 4), LinkOk);
    link.WaitTicks(1); // let the junk arrive
    sim.SetFaults({});
    EXPECT_EQ(link.ReadBlock(120, 11, 4), LinkOk);
    EXPECT_EQ(link.RxBuffer[11], 0x03);
    EXPECT_EQ(sim.Requests().size(), 2u);
}

TEST_F(ExchangeTest, SilentRecorderGivesTimeoutAfterFiveAttempts) {
    link.ReplyTimeout = 0;
    sim.SetFaults({.silent = true});
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    EXPECT_EQ(link.ReadBlock(0, 8, 6), LinkTimeout);
    const qint64 ms = elapsedMs(t);
    const double cpu = cpuSeconds() - cpu0;
    EXPECT_EQ(link.LastLinkResult, LinkTimeout);
    EXPECT_EQ(sim.Requests().size(), 5u);
    EXPECT_GE(ms, 5 * (550 + 55));
    EXPECT_LT(ms, 5 * (605 + 110) + 300);
    // Waiting blocks in the event loop: three seconds of waiting cost next to no CPU.
    EXPECT_LT(cpu, 0.15) << "the wait spins";
}

TEST_F(ExchangeTest, NormalLimitIsFiveSecondsPerByte) {
    link.FrameAttempts = 1;
    sim.SetFaults({.silent = true});
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkTimeout);
    const qint64 ms = elapsedMs(t);
    EXPECT_GE(ms, 5005 + 55);
    EXPECT_LT(ms, 5060 + 110 + 150);
}

TEST_F(ExchangeTest, ReplyAtLineSpeedWakesTheProgramAFewTimesNotForEveryByte) {
    // Fourteen reply bytes a millisecond apart: a process waiting on the line
    // is woken for each of them, whatever the line waits for.
    sim.SetFaults({.baud = 9600});
    const auto sleeps = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return usage.ru_nvcsw;
    };
    constexpr int Exchanges = 20;
    const long before = sleeps();
    for (int i = 0; i < Exchanges; ++i)
        ASSERT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    const double perExchange = static_cast<double>(sleeps() - before) / Exchanges;
    EXPECT_LT(perExchange, 8.0);
}

TEST_F(ExchangeTest, LineFasterThanItsSpeedIsWatchedAgainAfterPacedReplies) {
    sim.SetFaults({.baud = 9600});
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    // Unpaced, a reply is there at once; waiting out its line time (23 ms)
    // each time would take about 2 s.
    sim.SetFaults({});
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(link.ReadBlock(0x30000, 11, 4), LinkOk);
    EXPECT_LT(elapsedMs(t), 800);
}

TEST_F(ExchangeTest, SlowRecorderWithinTheLimitIsFine) {
    link.ReplyTimeout = 0; // 550 ms per byte
    // Each byte well within the limit, the whole reply (1.2 s) far beyond it.
    sim.SetFaults({.byteDelayMs = 150});
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
    EXPECT_EQ(sim.Requests().size(), 1u);
}

TEST_F(ExchangeTest, BreakDuringTheReplyGivesTwoEvenIfTheReplyCompletes) {
    // Eight reply bytes 40 ms apart; Break comes in the middle of them.
    sim.SetFaults({.byteDelayMs = 40});
    link.TxBuffer = {0, 0, 0, 0, 5, 7};
    QTimer::singleShot(100, [this] { breakRequested = true; });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ExchangeFrame(4, 5, 8), LinkBadReply);
    EXPECT_LT(elapsedMs(t), 100 + 110 + 100) << "Break must end the wait at once";
}

TEST_F(ExchangeTest, BreakNearTheEndOfTheReplyGivesTwo) {
    link.TxBuffer = {0, 0, 0, 0, 5, 7};
    sim.SetFaults({.byteDelayMs = 30});
    // Set from inside the wait for the last byte: the reply completes, yet
    // the exchange counts as broken off.
    QTimer::singleShot(30 * 7 + 15, [this] { breakRequested = true; });
    EXPECT_EQ(link.ExchangeFrame(4, 5, 8), LinkBadReply);
}

TEST_F(ExchangeTest, BreakAfterTheWholeReplyCameInStillGivesTwoAfterOneTick) {
    // Break is pressed in the very message pass that brings the last reply
    // bytes in: every byte is there and adds up, yet the exchange is broken off.
    link.TxBuffer = {0, 0, 0, 0, 5, 7};
    QSerialPort& device = port.Device();
    QObject::connect(&device, &QSerialPort::readyRead, &device, [&] {
        if (device.bytesAvailable() >= 8)
            breakRequested = true;
    });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ExchangeFrame(4, 5, 8), LinkBadReply);
    EXPECT_GE(elapsedMs(t), 55) << "a broken exchange ends with its one-tick pause";
    ASSERT_TRUE(breakRequested);
    int sum = 0;
    for (int k = 0; k < 8; ++k)
        sum += link.RxBuffer[static_cast<std::size_t>(k)];
    EXPECT_EQ(sum % 256, 0xFF) << "the whole reply had arrived";
}

TEST_F(ExchangeTest, SuccessfulExchangeEndsWithoutAPause) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
    // Five pauses of one tick would take at least 275 ms.
    EXPECT_LT(elapsedMs(t), 5 * 55);
}

TEST_F(ExchangeTest, BreakAlreadySetStillSendsTheFrameAndGivesTwoAtOnce) {
    breakRequested = true;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkBadReply);
    EXPECT_LT(elapsedMs(t), 5 * 110 + 200);
    ASSERT_TRUE(sim.WaitForRequests(5, 1000));
    EXPECT_EQ(wire().left(8), hex("01 04 00 00 00 05 07 EF"));
}

TEST_F(ExchangeTest, WaitTicksRunsItsLengthAndKeepsEventsFlowing) {
    int fired = 0;
    QTimer::singleShot(20, [&] { ++fired; });
    QElapsedTimer t;
    t.start();
    link.WaitTicks(1);
    qint64 ms = elapsedMs(t);
    EXPECT_GE(ms, 55);
    EXPECT_LE(ms, 110 + 20);
    EXPECT_EQ(fired, 1);

    breakRequested = true; // a pause ignores Break
    t.restart();
    link.WaitTicks(5);
    ms = elapsedMs(t);
    EXPECT_GE(ms, 275);
    EXPECT_LE(ms, 330 + 20);
}

TEST_F(ExchangeTest, WriteBlockSendsFourteenBytesAndWaitsForTwo) {
    const std::uint8_t data[8] = {0x31, 0x12, 0x07, 0x12, 0x26, 0, 0, 0};
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.WriteBlock(0, 8, 4, data), 0);
    EXPECT_GE(elapsedMs(t), 55); // its own tick first
    EXPECT_EQ(wire(), hex("01 05 00 00 00 04 31 12 07 12 26 00 00 00 74"));
}

TEST_F(ExchangeTest, FailedWriteGivesOneAndLeavesTheReadResultAlone) {
    link.LastLinkResult = LinkOk;
    sim.SetFaults({.badChecksum = true});
    const std::uint8_t data[8] = {};
    EXPECT_EQ(link.WriteBlock(0, 8, 4, data), 1);
    EXPECT_EQ(link.LastLinkResult, LinkOk);
    EXPECT_EQ(sim.Requests().size(), 5u);
}

TEST_F(ExchangeTest, VanishedRecorderFailsAtOnceLikeASilentOneAndTheNextOpeningWorks) {
    link.FrameAttempts = 2;
    sim.SetFaults({.vanishAfter = 1});
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
    QElapsedTimer t;
    t.start();
    // Lost in the middle of the wait for a reply, then already lost: no byte
    // limit (5 s) is waited out, only each failure's tick.
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkTimeout);
    EXPECT_LT(t.elapsed(), 2 * 110 + 200);
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(port.Lost());
    EXPECT_TRUE(port.TakeLoss());
    EXPECT_FALSE(port.TakeLoss()) << "one loss is told once";

    // The adapter comes back on the same COM link: the next opening works.
    sim.Stop();
    sim.SetFaults({});
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(QFile::remove(ports.filePath("com1")));
    ASSERT_TRUE(QFile::link(sim.DevicePath(), ports.filePath("com1")));
    ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
    EXPECT_FALSE(port.Lost());
    EXPECT_EQ(link.ReadBlock(0, 5, 7), LinkOk);
}

// Counts the blocks the link reports as read.
class ReadCounter : public ReadObserver {
public:
    void BlockRead(std::uint32_t, std::uint8_t, const std::uint8_t*, std::uint16_t) override {
        ++reads;
    }
    int reads = 0;
};

// Answers every read with 0x5A bytes.
class AnsweringSource : public BlockSource {
public:
    std::uint8_t AnswerRead(std::uint32_t, std::uint16_t length, std::uint8_t,
                            std::uint8_t* data) override {
        std::fill_n(data, length, std::uint8_t{0x5A});
        return LinkOk;
    }
};

TEST_F(ExchangeTest, ReadOfNothingOrLongerThanTheReplyBufferIsRefusedUnsent) {
    sim.SetBytes(4, 0x30000, QByteArray(64, '\x11'));
    ReadCounter counter;
    link.AddReadObserver(&counter);
    AnsweringSource source;
    for (BlockSource* from :
         {static_cast<BlockSource*>(nullptr), static_cast<BlockSource*>(&source)}) {
        link.SetBlockSource(from);
        const QByteArray sent = wire();
        for (const std::uint16_t length :
             {std::uint16_t{0}, std::uint16_t{DTrans::MaxReadLength + 1}, std::uint16_t{40}}) {
            link.LastLinkResult = LinkOk;
            EXPECT_EQ(link.ReadBlock(0x30000, length, 4), LinkBadReply) << length;
            EXPECT_EQ(link.LastLinkResult, LinkBadReply);
        }
        EXPECT_EQ(counter.reads, 0);
        EXPECT_EQ(wire(), sent) << "nothing goes out";
        // The longest read that fits still goes through.
        EXPECT_EQ(link.ReadBlock(0x30000, DTrans::MaxReadLength, 4), LinkOk);
        EXPECT_EQ(counter.reads, 1);
        counter.reads = 0;
    }
    link.SetBlockSource(nullptr);
    link.RemoveReadObserver(&counter);
}

TEST_F(ExchangeTest, WriteBlockSendsNoMoreThanAFrameOfThirtyTwoBytesHolds) {
    // The recorder takes no block this long: one short attempt shows the frame.
    link.FrameAttempts = 1;
    link.ReplyTimeout = 1;
    std::uint8_t data[30] = {};
    for (std::uint8_t i = 0; i < 30; ++i)
        data[i] = i;
    (void)link.WriteBlock(0, 30, 4, data);
    // The wake byte, then command, address, parameter, 26 bytes and the sum.
    ASSERT_EQ(wire().size(), 1 + 32);
    EXPECT_EQ(wire().mid(1, 5), hex("05 00 00 00 04"));
    EXPECT_EQ(wire()[6 + 25], 25);
}

} // namespace
