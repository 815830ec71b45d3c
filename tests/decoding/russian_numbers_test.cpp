#include "decoding/russian_numbers.h"

#include <gtest/gtest.h>

namespace {

const NounForms Records{QStringLiteral("запись"), QStringLiteral("записи"),
                        QStringLiteral("записей")};
const NounForms Years{QStringLiteral("год"), QStringLiteral("года"), QStringLiteral("лет")};

TEST(RussianNumbers, GroupsByANoBreakSpaceWithADecimalComma) {
    EXPECT_EQ(RussianNumber(0), "0");
    EXPECT_EQ(RussianNumber(999), "999");
    EXPECT_EQ(RussianNumber(8554), "8\u00A0554");
    EXPECT_EQ(RussianNumber(-1234567), "-1\u00A0234\u00A0567");
    EXPECT_EQ(RussianNumber(15.26, 1), "15,3");
    EXPECT_EQ(RussianNumber(12345.5, 2), "12\u00A0345,50");
    EXPECT_EQ(RussianNumber(0.04, 1), "0,0");
}

TEST(RussianNumbers, NounsTakeTheFormTheNumberAsks) {
    const struct {
        std::int64_t count;
        const char* text;
    } cases[] = {{0, "0 записей"},     {1, "1 запись"},      {2, "2 записи"},
                 {4, "4 записи"},      {5, "5 записей"},     {11, "11 записей"},
                 {12, "12 записей"},   {14, "14 записей"},   {21, "21 запись"},
                 {22, "22 записи"},    {25, "25 записей"},   {101, "101 запись"},
                 {111, "111 записей"}, {112, "112 записей"}, {1004, "1\u00A0004 записи"},
                 {-1, "-1 запись"}};
    for (const auto& c : cases)
        EXPECT_EQ(RussianCount(c.count, Records), QString::fromUtf8(c.text)) << c.count;
}

TEST(RussianNumbers, AFractionTakesTheFormOfTheFraction) {
    EXPECT_EQ(RussianCount(15.3, 1, Years), "15,3 года");
    EXPECT_EQ(RussianCount(1.0, 1, Years), "1,0 года");
    EXPECT_EQ(RussianCount(5.0, 0, Years), "5 лет");
    EXPECT_EQ(RussianCount(21.4, 0, Years), "21 год");
}

} // namespace
