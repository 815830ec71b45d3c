#include "link_fixture.h"

namespace {

using RequestsTest = LinkTest;

struct FixedRead {
    const char* name;
    std::uint32_t address;
    std::uint16_t length;
    std::uint8_t selector;
    const char* frame; // after the wake byte
};

TEST_F(RequestsTest, FixedReadsGoOutAsTheRecorderExpects) {
    const FixedRead reads[] = {
        {"clock", 0, 5, 7, "04 00 00 00 05 07 EF"},
        {"pointer block", 0, 8, 6, "04 00 00 00 08 06 ED"},
        {"erase time", 29, 5, 5, "04 1D 00 00 05 05 D4"},
        {"current summator record", 35, 16, 4, "04 23 00 00 10 04 C4"},
        {"current event record", 120, 11, 4, "04 78 00 00 0B 04 74"},
        {"last event slot", 0xFFFEC, 11, 4, "04 EC FF 0F 0B 04 F2"},
        {"last summator slot", 0x2FFF0, 16, 4, "04 F0 FF 02 10 04 F6"},
        {"identification block 0", 1538, 10, 3, "04 02 06 00 0A 03 E6"},
    };
    for (const FixedRead& read : reads) {
        sim.ClearReceived();
        EXPECT_EQ(link.ReadBlock(read.address, read.length, read.selector), LinkOk) << read.name;
        EXPECT_EQ(wire(), QByteArray(1, '\x01') + hex(read.frame)) << read.name;
    }
}

TEST_F(RequestsTest, ClockIsReadIntoItsText) {
    sim.SetBytes(7, 0, hex("3112071226"));
    QString clock = "old";
    EXPECT_TRUE(requests.ReadClock(clock));
    EXPECT_EQ(clock, "07.12.2026 12:31");
    EXPECT_EQ(wire(), hex("01 04 00 00 00 05 07 EF"));

    sim.SetBytes(7, 0, hex("5923311299"));
    EXPECT_TRUE(requests.ReadClock(clock));
    EXPECT_EQ(clock, "31.12.2099 23:59");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RequestsTest, FailedClockReadKeepsTheTextAndSaysSo) {
    link.ReplyTimeout = 0;
    sim.SetFaults({.badChecksum = true});
    QString clock = "07.12.2026 12:31";
    EXPECT_FALSE(requests.ReadClock(clock));
    EXPECT_EQ(clock, "07.12.2026 12:31");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Не удалось прочитать время");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(link.LastLinkResult, LinkBadReply);
}

TEST_F(RequestsTest, PanelReadFailuresNameTheirPanel) {
    link.ReplyTimeout = 0;
    sim.SetFaults({.badChecksum = true});
    EXPECT_FALSE(requests.ReadCurrentEvent());
    EXPECT_FALSE(requests.ReadCurrentSum());
    EXPECT_EQ(messages.texts(), QStringList({"Не удалось обновить панель событий 2",
                                             "Не удалось обновить панель сумматора"}));
}

TEST_F(RequestsTest, EraseTimeIsReadWithTheNormalLimit) {
    link.ReplyTimeout = 30;
    sim.SetBytes(5, 29, hex("0010150309"));
    QString erased;
    EXPECT_TRUE(requests.ReadEraseTime(erased));
    EXPECT_EQ(erased, "15.03.2009 10:00");
    EXPECT_EQ(link.ReplyTimeout, 5);
}

TEST_F(RequestsTest, PointerBlockIsMostSignificantByteFirst) {
    sim.SetEventPointer(0x3000B);
    sim.SetSumPointer(0x1FFF0);
    ASSERT_EQ(requests.ReadPointerBlock(), LinkOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&link.RxBuffer[1]), 8),
              hex("0003000B0001FFF0"));
    EXPECT_EQ(requests.EventPointer(), 0x3000Bu);
    EXPECT_EQ(requests.SumPointer(), 0x1FFF0u);
}

TEST_F(RequestsTest, ClockWriteSendsBcdAndThreeZeroBytes) {
    struct Case {
        ClockSetting at;
        const char* data;
    };
    const Case cases[] = {
        {{2026, 12, 7, 12, 31}, "31 12 07 12 26 00 00 00"},
        {{2000, 1, 1, 0, 0}, "00 00 01 01 00 00 00 00"},
        {{2099, 12, 31, 23, 59}, "59 23 31 12 99 00 00 00"},
    };
    for (const Case& c : cases) {
        sim.ClearReceived();
        EXPECT_EQ(requests.WriteClock(c.at), 0);
        const QByteArray frame = hex("05 00 00 00 04") + hex(c.data);
        std::uint8_t sum = 0;
        for (char b : frame)
            sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(b));
        EXPECT_EQ(wire(), QByteArray(1, '\x01') + frame + QByteArray(1, static_cast<char>(~sum)));
    }
    // The recorder's clock now reads what was written.
    QString clock;
    EXPECT_TRUE(requests.ReadClock(clock));
    EXPECT_EQ(clock, "31.12.2099 23:59");
}

TEST_F(RequestsTest, EraseAndResetAreSingleFrames) {
    EXPECT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    EXPECT_EQ(wire(), hex("01 0A F5"));
    sim.ClearReceived();
    EXPECT_EQ(requests.SendCommand(RecorderMap::ResetSumCommand), LinkOk);
    EXPECT_EQ(wire(), hex("01 0B F4"));
    EXPECT_EQ(link.ReplyTimeout, 5);
}

TEST_F(RequestsTest, EraseIsNeverRepeated) {
    sim.SetFaults({.badChecksum = true});
    EXPECT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkBadReply);
    EXPECT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(link.ReplyTimeout, 5);
}

TEST_F(RequestsTest, SlowEraseAcknowledgementWithinThirtySecondsSucceeds) {
    sim.SetFaults({.eraseAckDelayMs = 5600}); // beyond the normal 5 s limit
    EXPECT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    EXPECT_EQ(link.ReplyTimeout, 5);
}

TEST_F(RequestsTest, IdentificationIsThirtySixBlocksOfTen) {
    QByteArray area(360, 0);
    for (int i = 0; i < 360; ++i)
        area[i] = static_cast<char>(i % 251);
    sim.SetBytes(3, 1538, area);
    IdentData ident;
    ident.fill(0xFF);
    EXPECT_TRUE(requests.ReadIdentification(ident));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(ident.data()), 360), area);
    const auto seen = sim.Requests();
    ASSERT_EQ(seen.size(), 36u);
    EXPECT_EQ(seen.front().address, 1538u);
    EXPECT_EQ(seen.back().address, 1888u);
    for (const auto& r : seen) {
        EXPECT_EQ(r.length, 10);
        EXPECT_EQ(r.selector, 3);
    }
}

TEST_F(RequestsTest, IdentificationFailingAtBlockTenKeepsTheFirstTen) {
    link.ReplyTimeout = 0;
    sim.SetBytes(3, 1538, QByteArray(360, 'A'));
    sim.FailNextRequests(1538 + 100, 5);
    IdentData ident;
    ident.fill(0x11);
    EXPECT_FALSE(requests.ReadIdentification(ident));
    for (int k = 0; k < 100; ++k)
        ASSERT_EQ(ident[static_cast<std::size_t>(k)], 'A') << k;
    for (int k = 100; k < 360; ++k)
        ASSERT_EQ(ident[static_cast<std::size_t>(k)], 0x11) << k;
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать идентификационную информацию"});
    EXPECT_EQ(link.LastLinkResult, LinkTimeout);
    EXPECT_EQ(sim.Requests().size(), 15u);
}

TEST_F(RequestsTest, OnlyASlotErasedWholeIsBlank) {
    const QByteArray erased(11, '\xFF');
    sim.SetBytes(4, 0xFFFEC, erased);
    ASSERT_EQ(link.ReadBlock(0xFFFEC, 11, 4), LinkOk);
    EXPECT_TRUE(requests.ReplyBlank(11));
    for (int k = 0; k < 11; ++k) {
        QByteArray written = erased;
        written[k] = '\0';
        sim.SetBytes(4, 0xFFFEC, written);
        ASSERT_EQ(link.ReadBlock(0xFFFEC, 11, 4), LinkOk);
        EXPECT_FALSE(requests.ReplyBlank(11)) << k;
    }
}

TEST_F(RequestsTest, PointerChecks) {
    using namespace RecorderMap;
    EXPECT_TRUE(ValidEventPointer(0x3000B));
    EXPECT_TRUE(ValidEventPointer(0x30000));
    EXPECT_TRUE(ValidEventPointer(0xFFFEC));
    for (std::uint32_t bad : {0x2FFFFu, 0x100000u, 0x3FFF7u, 0x30005u})
        EXPECT_FALSE(ValidEventPointer(bad)) << std::hex << bad;
    EXPECT_TRUE(ValidSumPointer(0x10000));
    EXPECT_TRUE(ValidSumPointer(0x2FFF0));
    for (std::uint32_t bad : {0xFFF0u, 0x30000u, 0x10008u})
        EXPECT_FALSE(ValidSumPointer(bad)) << std::hex << bad;
}

} // namespace
