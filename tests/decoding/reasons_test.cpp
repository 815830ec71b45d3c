#include "decoding/reasons.h"
#include "reply_bytes.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// An event record with only the state and reason bytes of interest.
Reply EventWith(std::uint8_t reason, std::uint8_t relay = 0, std::uint8_t out = 0,
                std::uint8_t in = 0) {
    Reply r = ReplyOf("07 14 25 12 09 05 0C");
    r[RelayStatePos] = relay;
    r[DigOutStatePos] = out;
    r[DigInStatePos] = in;
    r[ReasonPos] = reason;
    return r;
}

TEST(DefaultTexts, ListsAsShipped) {
    const MessageTexts t = MessageTexts::Defaults();
    EXPECT_EQ(t.other,
              (QStringList{"Обрыв датчика", "КЗ на датчике", "Обрыв связи с выносным пультом",
                           "Отключение питания", "Включение питания", "Установка времени",
                           "Сброс сумматора", "Стирание записей"}));
    EXPECT_EQ(t.relay,
              (QStringList{"Срабатывание реле 1", "Срабатывание реле 2", "Срабатывание реле 3",
                           "Срабатывание реле 4", "Срабатывание реле 5", "Срабатывание реле 6",
                           "Срабатывание реле 7", "Срабатывание реле 8"}));
    EXPECT_EQ(t.digOut, (QStringList{"Цифровой выход 1", "Цифровой выход 2", "Цифровой выход 3",
                                     "Цифровой выход 4", "Цифровой выход 5", "Цифровой выход 6",
                                     "Цифровой выход 7", "Цифровой выход 8"}));
    EXPECT_EQ(t.digIn, (QStringList{"Цифровой вход 1", "Цифровой вход 2", "Цифровой вход 3",
                                    "Цифровой вход 4", "Цифровой вход 5", "Цифровой вход 6",
                                    "Цифровой вход 7", "Цифровой вход 8"}));
}

// A reason byte with its state bytes, and both forms under the default texts.
struct ReasonRow {
    std::uint8_t reason;
    std::uint8_t relay;
    std::uint8_t out;
    std::uint8_t in;
    const char* shortForm;
    const char* tabular;
};

class Reasons : public testing::TestWithParam<ReasonRow> {};

TEST_P(Reasons, BothForms) {
    const ReasonRow& row = GetParam();
    const Reply reply = EventWith(row.reason, row.relay, row.out, row.in);
    const MessageTexts texts = MessageTexts::Defaults();
    EXPECT_EQ(FReason(reply, texts), QString::fromUtf8(row.shortForm));
    EXPECT_EQ(Reason(reply, texts), QString::fromUtf8(row.tabular));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Reasons,
    testing::Values(
        ReasonRow{0x41, 0x01, 0x00, 0x80, "+ Срабатывание реле 2",
                  "\tСрабатывание реле 2\t00000001b\t00000000b\t10000000b"},
        ReasonRow{0xC1, 0x00, 0x00, 0x80, "- Срабатывание реле 2",
                  "\tСнятие Срабатывание реле 2\t00000000b\t00000000b\t10000000b"},
        ReasonRow{0x03, 0x00, 0x00, 0x00, "+ Отключение питания", "\tОтключение питания"},
        ReasonRow{0x05, 0x00, 0x02, 0x00, "+ Установка времени",
                  "\tУстановка времени\t00000000b\t00000010b\t00000000b"},
        ReasonRow{0x0A, 0x00, 0x00, 0x00, "+ ", "\t\t00000000b\t00000000b\t00000000b"},
        // Power events lose their state columns only as the whole byte 3 or 4.
        ReasonRow{0x04, 0xFF, 0xFF, 0xFF, "+ Включение питания", "\tВключение питания"},
        ReasonRow{0x83, 0x01, 0x02, 0x04, "- Отключение питания",
                  "\tСнятие Отключение питания\t00000001b\t00000010b\t00000100b"},
        ReasonRow{0x84, 0x00, 0x00, 0x00, "- Включение питания",
                  "\tСнятие Включение питания\t00000000b\t00000000b\t00000000b"},
        ReasonRow{0x08, 0x00, 0x00, 0x00, "+ ", "\t\t00000000b\t00000000b\t00000000b"},
        ReasonRow{0x70, 0x01, 0x01, 0x01, "+ Срабатывание реле 1Цифровой выход 1Цифровой вход 1",
                  "\tСрабатывание реле 1Цифровой выход 1Цифровой вход 1\t00000001b\t00000001b\t"
                  "00000001b"},
        ReasonRow{0x61, 0x02, 0x02, 0x00, "+ Срабатывание реле 2Цифровой выход 2",
                  "\tСрабатывание реле 2Цифровой выход 2\t00000010b\t00000010b\t00000000b"},
        // An erased slot: every group, index 7, marked as a removal.
        ReasonRow{0xFF, 0xFF, 0xFF, 0xFF, "- Срабатывание реле 8Цифровой выход 8Цифровой вход 8",
                  "\tСнятие Срабатывание реле 8Цифровой выход 8Цифровой вход 8\t11111111b\t"
                  "11111111b\t11111111b"},
        ReasonRow{0x00, 0x00, 0x00, 0x00, "+ Обрыв датчика",
                  "\tОбрыв датчика\t00000000b\t00000000b\t00000000b"},
        ReasonRow{0x87, 0x00, 0x00, 0x00, "- Стирание записей",
                  "\tСнятие Стирание записей\t00000000b\t00000000b\t00000000b"}),
    [](const testing::TestParamInfo<ReasonRow>& rowInfo) {
        return "Reason" + std::to_string(rowInfo.param.reason) + "_" +
               std::to_string(rowInfo.param.relay) + "_" + std::to_string(rowInfo.param.out) + "_" +
               std::to_string(rowInfo.param.in);
    });

// The code table: c = reason without bit 7, default texts.
struct CodeRow {
    std::uint8_t code;
    const char* text;
};

class CodeTable : public testing::TestWithParam<CodeRow> {};

TEST_P(CodeTable, SelectsTextPartWithAndWithoutRemoval) {
    const CodeRow& row = GetParam();
    const MessageTexts texts = MessageTexts::Defaults();
    const QString text = QString::fromUtf8(row.text);
    EXPECT_EQ(FReason(EventWith(row.code), texts), "+ " + text);
    EXPECT_EQ(FReason(EventWith(row.code | 0x80), texts), "- " + text);
    QString part;
    EXPECT_TRUE(ReasonText(row.code, texts, part));
    EXPECT_EQ(part, text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CodeTable,
    testing::Values(CodeRow{0x01, "КЗ на датчике"}, CodeRow{0x02, "Обрыв связи с выносным пультом"},
                    CodeRow{0x06, "Сброс сумматора"}, CodeRow{0x0F, ""},
                    CodeRow{0x10, "Цифровой вход 1"}, CodeRow{0x17, "Цифровой вход 8"},
                    CodeRow{0x18, "Цифровой вход 1"}, CodeRow{0x1F, "Цифровой вход 8"},
                    CodeRow{0x20, "Цифровой выход 1"}, CodeRow{0x2B, "Цифровой выход 4"},
                    CodeRow{0x40, "Срабатывание реле 1"}, CodeRow{0x4F, "Срабатывание реле 8"},
                    CodeRow{0x35, "Цифровой выход 6Цифровой вход 6"},
                    CodeRow{0x52, "Срабатывание реле 3Цифровой вход 3"},
                    CodeRow{0x7E, "Срабатывание реле 7Цифровой выход 7Цифровой вход 7"}),
    [](const testing::TestParamInfo<CodeRow>& rowInfo) {
        return "Code" + std::to_string(rowInfo.param.code);
    });

TEST(CodeTable, EveryByteHasASignAndTheSameTextBothWays) {
    const MessageTexts texts = MessageTexts::Defaults();
    for (int b = 0; b < 128; ++b) {
        const auto begin = static_cast<std::uint8_t>(b);
        const auto end = static_cast<std::uint8_t>(b | 0x80);
        const QString on = FReason(EventWith(begin), texts);
        const QString off = FReason(EventWith(end), texts);
        ASSERT_TRUE(on.startsWith(QStringLiteral("+ "))) << b;
        ASSERT_TRUE(off.startsWith(QStringLiteral("- "))) << b;
        EXPECT_EQ(on.mid(2), off.mid(2)) << b;
        // The tabular form repeats the text after its tab, "Снятие " for an end.
        EXPECT_TRUE(Reason(EventWith(begin), texts).startsWith("\t" + on.mid(2))) << b;
        EXPECT_TRUE(Reason(EventWith(end), texts).startsWith("\tСнятие " + on.mid(2))) << b;
    }
}

TEST(Reasons, LeaveTheReplyUnchanged) {
    const Reply before = EventWith(0xC1, 0x01, 0x02, 0x03);
    Reply reply = before;
    (void)FReason(reply, MessageTexts::Defaults());
    (void)Reason(reply, MessageTexts::Defaults());
    EXPECT_EQ(reply, before);
}

TEST(EditedTexts, AreUsedInTheNextReason) {
    MessageTexts texts = MessageTexts::Defaults();
    const Reply reply = EventWith(0x42, 0x04, 0x00, 0x00);
    EXPECT_EQ(FReason(reply, texts), QStringLiteral("+ Срабатывание реле 3"));
    texts.relay[2] = QStringLiteral("Ограничитель подъёма");
    EXPECT_EQ(FReason(reply, texts), QStringLiteral("+ Ограничитель подъёма"));
    EXPECT_EQ(Reason(reply, texts),
              QStringLiteral("\tОграничитель подъёма\t00000100b\t00000000b\t00000000b"));
    texts.other[3] = QString();
    EXPECT_EQ(FReason(EventWith(0x03), texts), QStringLiteral("+ "));
    EXPECT_EQ(Reason(EventWith(0x03), texts), QStringLiteral("\t"));
}

// A list shorter than the index it needs gives the fixed failure text.
struct ShortListRow {
    const char* name;
    std::uint8_t reason;
    int otherSize;
    int relaySize;
    int digOutSize;
    int digInSize;
    bool fails;
};

class ShortLists : public testing::TestWithParam<ShortListRow> {};

TEST_P(ShortLists, FailOnlyWhenTheIndexIsMissing) {
    const ShortListRow& row = GetParam();
    MessageTexts texts = MessageTexts::Defaults();
    texts.other = texts.other.mid(0, row.otherSize);
    texts.relay = texts.relay.mid(0, row.relaySize);
    texts.digOut = texts.digOut.mid(0, row.digOutSize);
    texts.digIn = texts.digIn.mid(0, row.digInSize);
    const Reply reply = EventWith(row.reason, 0x01, 0x02, 0x04);
    const QString bits = QStringLiteral("\t00000001b\t00000010b\t00000100b");
    const bool power = row.reason == 3 || row.reason == 4;
    QString part;
    EXPECT_EQ(ReasonText(row.reason, texts, part), !row.fails);
    if (row.fails) {
        EXPECT_TRUE(part.isEmpty());
        EXPECT_EQ(FReason(reply, texts), QStringLiteral("некорректная запись"));
        EXPECT_EQ(Reason(reply, texts),
                  QStringLiteral("некорректная запись") + (power ? QString() : bits));
    } else {
        EXPECT_TRUE(
            FReason(reply, texts)
                .startsWith((row.reason & 0x80) ? QStringLiteral("- ") : QStringLiteral("+ ")));
        EXPECT_NE(Reason(reply, texts), QStringLiteral("некорректная запись") + bits);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ShortLists,
    testing::Values(ShortListRow{"OtherEmpty", 0x00, 0, 8, 8, 8, true},
                    ShortListRow{"PowerOffWithThreeOthers", 0x03, 3, 8, 8, 8, true},
                    ShortListRow{"PowerOnWithFourOthers", 0x04, 4, 8, 8, 8, true},
                    ShortListRow{"PowerOffWithFourOthers", 0x03, 4, 8, 8, 8, false},
                    ShortListRow{"EndingCodeTwoWithTwoOthers", 0x82, 2, 8, 8, 8, true},
                    ShortListRow{"Relay8WithSevenRelays", 0x47, 8, 7, 8, 8, true},
                    ShortListRow{"Relay7WithSevenRelays", 0x46, 8, 7, 8, 8, false},
                    ShortListRow{"JoinedWithShortInputs", 0x75, 8, 8, 8, 5, true},
                    ShortListRow{"JoinedWithEnoughInputs", 0x75, 8, 8, 8, 6, false},
                    ShortListRow{"OutputWithNoOthers", 0x21, 0, 8, 8, 8, false},
                    ShortListRow{"NoTextNeeded", 0x0C, 0, 0, 0, 0, false},
                    ShortListRow{"ErasedSlotAllEmpty", 0xFF, 8, 0, 0, 0, true}),
    [](const testing::TestParamInfo<ShortListRow>& rowInfo) {
        return std::string(rowInfo.param.name);
    });

} // namespace
