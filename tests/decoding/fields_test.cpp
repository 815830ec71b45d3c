#include "decoding/fields.h"
#include "reply_bytes.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

// One event record (positions 1..11), its presence flags and what the
// formatting routines make of it.
struct RecordRow {
    const char* bytes;
    std::uint8_t flags;
    const char* time;
    const char* date;
    const char* weight;
    const char* fixedWeight;
    const char* reach;
    const char* fixedReach;
};

class RecordFields : public testing::TestWithParam<RecordRow> {};

TEST_P(RecordFields, FormatsTimeDateAndMeasurements) {
    const RecordRow& row = GetParam();
    const Reply reply = ReplyOf(row.bytes, row.flags);
    EXPECT_EQ(RTime(reply), QString::fromUtf8(row.time));
    EXPECT_EQ(RDate(reply), QString::fromUtf8(row.date));
    EXPECT_EQ(SmallNum(reply, 6), QString::fromUtf8(row.weight));
    EXPECT_EQ(FSmallNum(reply, 6), QString::fromUtf8(row.fixedWeight));
    EXPECT_EQ(SmallNum(reply, 7), QString::fromUtf8(row.reach));
    EXPECT_EQ(FSmallNum(reply, 7), QString::fromUtf8(row.fixedReach));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, RecordFields,
    testing::Values(RecordRow{"07 14 25 12 09 05 0C 01 00 80 41", 0x41, "14:07", "25.12.2009", "5",
                              "005", "12", "012"},
                    RecordRow{"30 09 01 03 10 FF FF 00 00 00 03", 0x03, "09:30", "01.03.2010", "",
                              "   ", "", "   "},
                    // An erased slot: BCD decoded without range checks, measurements absent.
                    RecordRow{"FF FF FF FF FF FF FF FF FF FF FF", 0xFF, "165:165", "165.165.20165",
                              "", "   ", "", "   "},
                    // Two digits at least: minute 05, hour 00.
                    RecordRow{"05 00 01 01 00 00 00 00 00 00 40", 0x40, "00:05", "01.01.2000", "0",
                              "000", "0", "000"},
                    RecordRow{"59 23 31 12 99 FE 01 00 00 00 40", 0x40, "23:59", "31.12.2099",
                              "254", "254", "1", "001"},
                    // A relay-less reason byte in the flags hides present measurements.
                    RecordRow{"59 23 31 12 99 FE 01 00 00 00 07", 0x07, "23:59", "31.12.2099", "",
                              "   ", "", "   "},
                    // Any one of 0x10, 0x20, 0x40 shows them.
                    RecordRow{"00 12 15 06 26 07 08 00 00 00 10", 0x10, "12:00", "15.06.2026", "7",
                              "007", "8", "008"},
                    RecordRow{"00 12 15 06 26 07 08 00 00 00 20", 0x20, "12:00", "15.06.2026", "7",
                              "007", "8", "008"},
                    RecordRow{"00 12 15 06 26 07 08 00 00 00 8F", 0x8F, "12:00", "15.06.2026", "",
                              "   ", "", "   "},
                    // Invalid BCD nibbles take part in the arithmetic: 0x1F is 25.
                    RecordRow{"1F 1F 1F 1F 1F 64 FF 00 00 00 70", 0x70, "25:25", "25.25.2025",
                              "100", "100", "", "   "}),
    [](const testing::TestParamInfo<RecordRow>& rowInfo) {
        return "R" + RowName(rowInfo.param.bytes) + "_F" + std::to_string(rowInfo.param.flags);
    });

// A 24-bit counter at positions p..p+2.
struct CounterRow {
    const char* bytes; // positions 6, 7, 8
    const char* plain;
    const char* fixed;
};

class Counters : public testing::TestWithParam<CounterRow> {};

TEST_P(Counters, ReadsBigEndian24Bits) {
    const CounterRow& row = GetParam();
    // Positions 1..5 hold a date; the counter starts at 6.
    const Reply reply = ReplyOf(std::string("25 14 07 03 09 ") + row.bytes);
    EXPECT_EQ(BigNum(reply, 6), QString::fromLatin1(row.plain));
    EXPECT_EQ(FBigNum(reply, 6), QString::fromLatin1(row.fixed));
}

INSTANTIATE_TEST_SUITE_P(Examples, Counters,
                         testing::Values(CounterRow{"00 01 2C", "300", "00000300"},
                                         CounterRow{"FF FF FF", "16777215", "16777215"},
                                         CounterRow{"00 00 00", "0", "00000000"},
                                         CounterRow{"00 12 34", "4660", "00004660"},
                                         CounterRow{"01 00 00", "65536", "00065536"},
                                         CounterRow{"98 96 7F", "9999999", "09999999"}),
                         [](const testing::TestParamInfo<CounterRow>& rowInfo) {
                             return "C" + RowName(rowInfo.param.bytes);
                         });

TEST(Counters, UseThePositionGiven) {
    const Reply reply = ReplyOf("25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05", 0xFF);
    EXPECT_EQ(BigNum(reply, 9), QStringLiteral("500"));
    EXPECT_EQ(BigNum(reply, 12), QStringLiteral("1000"));
    EXPECT_EQ(FBigNum(reply, 12), QStringLiteral("00001000"));
}

// Moment from positions 15 (weight) and 16 (reach).
struct MomentRow {
    std::uint8_t weight;
    std::uint8_t reach;
    std::uint8_t flags;
    const char* plain;
    const char* fixed;
};

class Moments : public testing::TestWithParam<MomentRow> {};

TEST_P(Moments, MultipliesPresentFactors) {
    const MomentRow& row = GetParam();
    Reply reply{};
    reply[15] = row.weight;
    reply[16] = row.reach;
    reply[PresenceFlagsPos] = row.flags;
    EXPECT_EQ(RMoment(reply), QString::fromLatin1(row.plain));
    EXPECT_EQ(FRMoment(reply), QString::fromLatin1(row.fixed));
}

INSTANTIATE_TEST_SUITE_P(Examples, Moments,
                         testing::Values(MomentRow{0x0A, 0x07, 0xFF, "70", "00070"},
                                         MomentRow{0xFE, 0xFE, 0xFF, "64516", "64516"},
                                         MomentRow{0x00, 0x07, 0xFF, "0", "00000"},
                                         MomentRow{0xFF, 0xFF, 0xFF, "", "     "},
                                         // One erased factor still counts as 255.
                                         MomentRow{0xFF, 0x02, 0xFF, "510", "00510"},
                                         MomentRow{0x0C, 0xFF, 0xFF, "3060", "03060"},
                                         // Only bit 0x40 shows a moment.
                                         MomentRow{0x0A, 0x07, 0x40, "70", "00070"},
                                         MomentRow{0x0A, 0x07, 0x30, "", "     "},
                                         MomentRow{0x0A, 0x07, 0x00, "", "     "}),
                         [](const testing::TestParamInfo<MomentRow>& rowInfo) {
                             return "W" + std::to_string(rowInfo.param.weight) + "_R" +
                                    std::to_string(rowInfo.param.reach) + "_F" +
                                    std::to_string(rowInfo.param.flags);
                         });

TEST(Measurements, WeightFEDependsOnFlags) {
    Reply reply{};
    reply[6] = 0xFE;
    reply[PresenceFlagsPos] = 0x40;
    EXPECT_EQ(SmallNum(reply, 6), QStringLiteral("254"));
    reply[PresenceFlagsPos] = 0x07;
    EXPECT_EQ(SmallNum(reply, 6), QString());
    EXPECT_EQ(FSmallNum(reply, 6), QStringLiteral("   "));
}

TEST(Measurements, EveryByteUnderFullFlags) {
    for (int b = 0; b < 256; ++b) {
        Reply reply{};
        reply[7] = static_cast<std::uint8_t>(b);
        reply[PresenceFlagsPos] = 0xFF;
        if (b == 0xFF) {
            EXPECT_TRUE(SmallNum(reply, 7).isEmpty());
            EXPECT_EQ(FSmallNum(reply, 7), QStringLiteral("   "));
            continue;
        }
        EXPECT_EQ(SmallNum(reply, 7).toInt(), b) << b;
        const QString fixed = FSmallNum(reply, 7);
        EXPECT_EQ(fixed.size(), 3) << b;
        EXPECT_EQ(fixed.toInt(), b) << b;
        EXPECT_FALSE(SmallNum(reply, 7).startsWith(QLatin1Char('0')) && b != 0) << b;
    }
}

TEST(Bcd, Dec2BinMatchesBaseTwoForEveryByte) {
    for (int b = 0; b < 256; ++b) {
        const QString expected =
            QString::number(b, 2).rightJustified(8, QLatin1Char('0')) + QLatin1Char('b');
        EXPECT_EQ(Dec2Bin(static_cast<std::uint8_t>(b)), expected) << b;
    }
    EXPECT_EQ(Dec2Bin(0x00), QStringLiteral("00000000b"));
    EXPECT_EQ(Dec2Bin(0x05), QStringLiteral("00000101b"));
    EXPECT_EQ(Dec2Bin(0x80), QStringLiteral("10000000b"));
}

TEST(Bcd, Hex2DecReadsHexDigitsAsDecimalForEveryByte) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const QString hex = QString::number(b, 16).rightJustified(2, QLatin1Char('0'));
        const bool validBcd = (b >> 4) <= 9 && (b & 0x0F) <= 9;
        if (validBcd) {
            // The hex digits of a valid BCD byte are its decimal digits.
            EXPECT_EQ(hex2dec(byte), hex.toInt()) << b;
            EXPECT_EQ(dec2hex(hex2dec(byte)), byte) << b;
        }
        // Always tens-nibble times ten plus units-nibble, whatever the digits.
        const int tens = QString(hex[0]).toInt(nullptr, 16);
        const int units = QString(hex[1]).toInt(nullptr, 16);
        EXPECT_EQ(hex2dec(byte), tens * 10 + units) << b;
    }
    EXPECT_EQ(hex2dec(0x59), 59);
    EXPECT_EQ(hex2dec(0x1F), 25);
    EXPECT_EQ(hex2dec(0xFF), 165);
}

TEST(Bcd, Dec2HexWritesDecimalDigitsAsHex) {
    for (unsigned v = 0; v < 100; ++v) {
        const std::uint8_t bcd = dec2hex(v);
        EXPECT_EQ(QString::number(bcd, 16).toUInt(), v) << v;
        EXPECT_EQ(hex2dec(bcd), v) << v;
    }
    EXPECT_EQ(dec2hex(59), 0x59);
    // From 100 on only the low byte of tens * 16 + ones is kept.
    EXPECT_EQ(dec2hex(100), 0xA0);
    EXPECT_EQ(dec2hex(165), 0x05); // 16 * 16 + 5 = 0x105
}

TEST(Bcd, LoWordKeepsLow16Bits) {
    EXPECT_EQ(LoWord(0xFFFEC), 0xFFEC);
    EXPECT_EQ(LoWord(0x10000), 0x0000);
    EXPECT_EQ(LoWord(0xCFFFF), 0xFFFF);
}

TEST(ShortView, ReadsMissingBytesAsErased) {
    // Only positions 0..5 given: no flags, no measurements, no counter bytes.
    const std::array<std::uint8_t, 6> shortReply{0x00, 0x07, 0x14, 0x25, 0x12, 0x09};
    const ReplyView view{shortReply};
    EXPECT_EQ(RTime(view), QStringLiteral("14:07"));
    EXPECT_EQ(RDate(view), QStringLiteral("25.12.2009"));
    EXPECT_EQ(BigNum(view, 6), QStringLiteral("16777215"));
    EXPECT_EQ(SmallNum(view, 6), QString());
    EXPECT_EQ(RMoment(view), QString());
    EXPECT_EQ(ReplyByte(view, -1), NoValue);
    EXPECT_EQ(ReplyByte(view, 0), 0x00); // the reply's first byte is a position too
    EXPECT_EQ(ReplyByte(view, 5), 0x09);
    EXPECT_EQ(ReplyByte(ReplyView{}, 0), NoValue);
}

} // namespace
