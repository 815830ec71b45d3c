#include "reply_bytes.h"
#include "summator/sum_panel.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

struct SumRow {
    const char* bytes; // record offsets 0..15
    const char* date;
    const char* time;
    const char* hours;
    const char* totalWeight;
    const char* cycles;
    const char* weight;
    const char* reach;
    const char* moment;
};

class SumPanel : public testing::TestWithParam<SumRow> {};

TEST_P(SumPanel, ShowsRecordWhateverTheLastReplyByte) {
    const SumRow& row = GetParam();
    // Position 18 is the reply's last byte for a 16-byte read, not flags.
    for (std::uint8_t last : {std::uint8_t{0x00}, std::uint8_t{0x0F}, std::uint8_t{0xFF}}) {
        const Reply reply = ReplyOf(row.bytes, last);
        const SumPanelView v = MakeSumPanelView(reply);
        EXPECT_EQ(v.date, QString::fromLatin1(row.date));
        EXPECT_EQ(v.time, QString::fromLatin1(row.time));
        EXPECT_EQ(v.hours, QString::fromLatin1(row.hours));
        EXPECT_EQ(v.totalWeight, QString::fromLatin1(row.totalWeight));
        EXPECT_EQ(v.cycles, QString::fromLatin1(row.cycles));
        EXPECT_EQ(v.weight, QString::fromLatin1(row.weight));
        EXPECT_EQ(v.reach, QString::fromLatin1(row.reach));
        EXPECT_EQ(v.moment, QString::fromLatin1(row.moment));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SumPanel,
    testing::Values(SumRow{"25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05", "07.03.2009", "14:25",
                           "4660", "500", "1000", "12", "5", "60"},
                    // No reach: the moment is still formed, 12 x 255.
                    SumRow{"25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C FF", "07.03.2009", "14:25",
                           "4660", "500", "1000", "12", "", "3060"},
                    SumRow{"25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 FF FF", "07.03.2009", "14:25",
                           "4660", "500", "1000", "", "", ""},
                    SumRow{"FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF", "165.165.20165",
                           "165:165", "16777215", "16777215", "16777215", "", "", ""},
                    SumRow{"00 00 01 01 00 00 00 00 00 00 00 00 00 00 00 00", "01.01.2000", "00:00",
                           "0", "0", "0", "0", "0", "0"}),
    [](const testing::TestParamInfo<SumRow>& rowInfo) {
        return "S" + RowName(rowInfo.param.bytes);
    });

TEST(SumPanel, LeavesTheCallersReplyUntouched) {
    const Reply before = ReplyOf("25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05", 0x3C);
    Reply reply = before;
    const SumPanelView v = MakeSumPanelView(reply);
    EXPECT_EQ(reply, before);
    EXPECT_EQ(v.moment, QStringLiteral("60"));
}

} // namespace
