#include "decoding/event_panel.h"
#include "reply_bytes.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

constexpr auto R = StateColour::Red;
constexpr auto G = StateColour::Green;
constexpr auto F = StateColour::ButtonFace;

StateRow Row(StateColour c) {
    StateRow row{};
    row.fill(c);
    return row;
}

// One record as the panel shows it; the rows are indexed by bit.
struct PanelRow {
    const char* bytes; // positions 1..11
    const char* date;
    const char* time;
    const char* reason;
    const char* weight;
    const char* reach;
    StateRow relay;
    StateRow digOut;
    StateRow digIn;
};

class EventPanel : public testing::TestWithParam<PanelRow> {};

TEST_P(EventPanel, ShowsRecord) {
    const PanelRow& row = GetParam();
    // Whatever the caller left at position 18 must not matter.
    for (std::uint8_t flags : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        const Reply reply = ReplyOf(row.bytes, flags);
        const EventPanelView v = MakeEventPanelView(reply, MessageTexts::Defaults());
        EXPECT_EQ(v.date, QString::fromUtf8(row.date));
        EXPECT_EQ(v.time, QString::fromUtf8(row.time));
        EXPECT_EQ(v.reason, QString::fromUtf8(row.reason));
        EXPECT_EQ(v.weight, QString::fromUtf8(row.weight));
        EXPECT_EQ(v.reach, QString::fromUtf8(row.reach));
        EXPECT_EQ(v.relay, row.relay);
        EXPECT_EQ(v.digOut, row.digOut);
        EXPECT_EQ(v.digIn, row.digIn);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EventPanel,
    testing::Values(
        // Relay 0 red; input 7 (leftmost of its row) red; everything else green.
        PanelRow{"07 14 25 12 09 05 0C 01 00 80 41", "25.12.2009", "14:07", "+ Срабатывание реле 2",
                 "5", "12", StateRow{R, G, G, G, G, G, G, G}, Row(G),
                 StateRow{G, G, G, G, G, G, G, R}},
        // Power off: no measurements, all 24 squares back to the button face.
        PanelRow{"30 09 01 03 10 05 0C 01 02 80 03", "01.03.2010", "09:30", "+ Отключение питания",
                 "", "", Row(F), Row(F), Row(F)},
        PanelRow{"30 09 01 03 10 05 0C FF FF FF 04", "01.03.2010", "09:30", "+ Включение питания",
                 "", "", Row(F), Row(F), Row(F)},
        // An ending power event is coloured from its bits.
        PanelRow{"30 09 01 03 10 05 0C 01 02 80 83", "01.03.2010", "09:30", "- Отключение питания",
                 "", "", StateRow{R, G, G, G, G, G, G, G}, StateRow{G, R, G, G, G, G, G, G},
                 StateRow{G, G, G, G, G, G, G, R}},
        // An erased slot.
        PanelRow{"FF FF FF FF FF FF FF FF FF FF FF", "165.165.20165", "165:165",
                 "- Срабатывание реле 8Цифровой выход 8Цифровой вход 8", "", "", Row(R), Row(R),
                 Row(R)},
        // Digital input and output events show their measurements too.
        PanelRow{"00 08 02 02 26 0A 03 00 20 0F 13", "02.02.2026", "08:00", "+ Цифровой вход 4",
                 "10", "3", Row(G), StateRow{G, G, G, G, G, R, G, G},
                 StateRow{R, R, R, R, G, G, G, G}},
        PanelRow{"00 08 02 02 26 0A FF 00 20 0F A5", "02.02.2026", "08:00", "- Цифровой выход 6",
                 "10", "", Row(G), StateRow{G, G, G, G, G, R, G, G},
                 StateRow{R, R, R, R, G, G, G, G}},
        // Other events keep measurements hidden.
        PanelRow{"00 08 02 02 26 0A 03 00 00 00 00", "02.02.2026", "08:00", "+ Обрыв датчика", "",
                 "", Row(G), Row(G), Row(G)}),
    [](const testing::TestParamInfo<PanelRow>& rowInfo) {
        return "E" + RowName(rowInfo.param.bytes);
    });

TEST(EventPanel, LeavesTheCallersReplyUntouched) {
    const Reply before = ReplyOf("07 14 25 12 09 05 0C 01 00 80 41", 0x5A);
    Reply reply = before;
    const EventPanelView v = MakeEventPanelView(reply, MessageTexts::Defaults());
    EXPECT_EQ(reply, before);
    EXPECT_EQ(v.weight, QStringLiteral("5"));
}

TEST(EventPanel, UsesEditedTexts) {
    MessageTexts texts = MessageTexts::Defaults();
    texts.digIn[0] = QStringLiteral("Концевик стрелы");
    const Reply reply = ReplyOf("07 14 25 12 09 05 0C 00 00 01 90");
    EXPECT_EQ(MakeEventPanelView(reply, texts).reason, QStringLiteral("- Концевик стрелы"));
    texts.digIn = texts.digIn.mid(0, 0);
    EXPECT_EQ(MakeEventPanelView(reply, texts).reason, QStringLiteral("некорректная запись"));
}

TEST(EventPanel, ShortReplyReadsAsErased) {
    const std::array<std::uint8_t, 4> shortReply{0x00, 0x07, 0x14, 0x25};
    const EventPanelView v = MakeEventPanelView(ReplyView{shortReply}, MessageTexts::Defaults());
    EXPECT_EQ(v.time, QStringLiteral("14:07"));
    EXPECT_EQ(v.date, QStringLiteral("25.165.20165"));
    EXPECT_EQ(v.weight, QString());
    EXPECT_EQ(v.relay, Row(R));
    EXPECT_TRUE(EventAbsent(ReplyView{shortReply}));
}

TEST(EventPanel, StateColoursAsRgb) {
    EXPECT_EQ(StateRed, (Rgb{255, 0, 0}));
    EXPECT_EQ(StateGreen, (Rgb{0, 128, 0}));
}

TEST(EventAbsent, OnlyReasonFF) {
    for (int b = 0; b < 256; ++b) {
        Reply reply = ReplyOf("07 14 25 12 09 05 0C 01 00 80");
        reply[ReasonPos] = static_cast<std::uint8_t>(b);
        EXPECT_EQ(EventAbsent(reply), b == 0xFF) << b;
    }
}

} // namespace
