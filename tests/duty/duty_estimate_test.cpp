// The duty estimate on plain inputs: the standard's tables, Kp, the worked
// example, the nameplate's text forms and what happens when they do not read.

#include "duty/duty_estimate.h"
#include "duty/duty_report.h"
#include "duty/duty_scheme.h"
#include "duty/nameplate.h"
#include "duty_cases.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using namespace Iso4301;

int GroupOf(const char* q, const char* u) {
    int qi = -1, ui = -1;
    for (int i = 0; i < int(LoadStates.size()); ++i)
        if (QLatin1String(LoadStates[std::size_t(i)].name) == QLatin1String(q))
            qi = i;
    for (int i = 0; i < int(UtilizationClasses.size()); ++i)
        if (QLatin1String(UtilizationClasses[std::size_t(i)].name) == QLatin1String(u))
            ui = i;
    return Group(qi, ui);
}

TEST(DutySchemeTest, TheGroupTableAtItsCornersAndOneCellPerRow) {
    EXPECT_EQ(GroupOf("Q1", "U0"), 1);
    EXPECT_EQ(GroupOf("Q1", "U9"), 8);
    EXPECT_EQ(GroupOf("Q4", "U0"), 2);
    EXPECT_EQ(GroupOf("Q4", "U9"), 8);
    EXPECT_EQ(GroupOf("Q1", "U6"), 5);
    EXPECT_EQ(GroupOf("Q2", "U3"), 3);
    EXPECT_EQ(GroupOf("Q3", "U5"), 6);
    EXPECT_EQ(GroupOf("Q4", "U2"), 4);
    EXPECT_STREQ(GroupName(5), "A5");
    EXPECT_EQ(GroupBudget(1), 7'800u);
    EXPECT_EQ(GroupBudget(8), 1'000'000u);
}

TEST(DutySchemeTest, ClassesTakeTheFirstNominalValueNotBelow) {
    EXPECT_EQ(LoadStateIndex(0.125), 0);
    EXPECT_EQ(LoadStateIndex(0.1251), 1);
    EXPECT_EQ(LoadStateIndex(0.5), 2);
    EXPECT_EQ(LoadStateIndex(1.0), 3);
    EXPECT_EQ(LoadStateIndex(1.7), 3);
    EXPECT_EQ(UtilizationIndex(16'000), 0);
    EXPECT_EQ(UtilizationIndex(16'001), 1);
    EXPECT_EQ(UtilizationIndex(125'000), 3);
    EXPECT_EQ(UtilizationIndex(4'000'000), 8);
    EXPECT_EQ(UtilizationIndex(4'000'001), 9);
}

DutyInput Crane(const IdentBytes& ident, std::initializer_list<int> weights) {
    DutyInput in;
    in.ident = ident;
    in.hasIdent = true;
    QDateTime t(QDate(2026, 6, 1), QTime(12, 0));
    for (const int w : weights) {
        TakeCycles(in, std::uint8_t(w), 1, t);
        t = t.addDays(-1);
    }
    return in;
}

TEST(DutyEstimateTest, KpOfASpectrumAllAtTheRatedLoadAndAllAtHalf) {
    const IdentBytes ident = NameplateIdent("20 т", "А5", "20 лет", "01.06.2016");
    const DutyEstimate full = EstimateDuty(Crane(ident, {20, 20, 20, 20}));
    ASSERT_TRUE(full.kp);
    EXPECT_DOUBLE_EQ(*full.kp, 1.0);
    EXPECT_EQ(LoadStateName(full.loadState), "Q4");
    EXPECT_FALSE(full.kpAboveOne);
    EXPECT_EQ(full.overloads, 0);

    const DutyEstimate half = EstimateDuty(Crane(ident, {10, 10, 10}));
    ASSERT_TRUE(half.kp);
    EXPECT_DOUBLE_EQ(*half.kp, 0.125);
    EXPECT_EQ(LoadStateName(half.loadState), "Q1");

    // Above the rated load: the ratio as it is, and an overload.
    const DutyEstimate over = EstimateDuty(Crane(ident, {30, 0xFF, 20}));
    ASSERT_TRUE(over.kp);
    EXPECT_DOUBLE_EQ(*over.kp, (1.5 * 1.5 * 1.5 + 1.0) / 2);
    EXPECT_EQ(over.overloads, 1);
    EXPECT_EQ(over.cyclesNoWeight, 1);
    EXPECT_EQ(over.cyclesRated, 2);
    EXPECT_TRUE(over.kpAboveOne);
}

// Group А5, 40,000 lifetime cycles, Kp 0.15: 6,000 of 125,000 equivalent
// cycles, 4.8 % used. Counted since an erase at commissioning (00:00
// 01.06.2016 to 12:00 01.06.2026, 3,652.5 days): 4,000 cycles a year, 80,000
// in 20 years: U3, with Q2 group A3. The budget lasts 198.3 years more, the
// calendar 10: the calendar binds.
TEST(DutyEstimateTest, TheWorkedExampleEndToEnd) {
    // (7³ + 7³ + 4³ + 0 + 0) / 5 / 10³ = 0.15
    DutyInput in = Crane(NameplateIdent("10 т", "А5", "20 лет", "01.06.2016"), {7, 7, 4, 0, 0});
    in.totalCycles = 40'000;
    in.totalWeight = 120'000; // m = 0.3: Kp within 0.027 … 0.3
    in.recorderClock = QDateTime(QDate(2026, 6, 1), QTime(12, 0));
    in.counters = {{in.recorderClock, 40'000}};
    in.counterStart = QDateTime(QDate(2016, 6, 1), QTime(0, 0));
    const DutyEstimate e = EstimateDuty(in);
    ASSERT_TRUE(e.kp && e.lifeUsed && e.group && e.yearsLeft && e.cyclesPerYear);
    EXPECT_NEAR(*e.kp, 0.15, 1e-12);
    EXPECT_EQ(LoadStateName(e.loadState), "Q2");
    EXPECT_EQ(GroupName(e.nameplateGroup), "A5");
    EXPECT_NEAR(*e.equivalentCycles, 6'000, 1e-6);
    EXPECT_NEAR(*e.lifeUsed, 0.048, 1e-12);
    EXPECT_EQ(DutyShareText(*e.lifeUsed), "4,8 %");
    EXPECT_EQ(e.rateBasis, RateBasis::CounterStart);
    EXPECT_NEAR(*e.cyclesPerYear, 4'000, 1e-9);
    EXPECT_EQ(UtilizationName(e.utilization), "U3");
    EXPECT_EQ(GroupName(e.group), "A3");
    EXPECT_NEAR(*e.cycleYearsLeft, 119'000 / (4'000 * 0.15), 1e-9);
    EXPECT_NEAR(*e.yearsLeft, 3653 / 365.25, 1e-9);
    EXPECT_EQ(e.yearsBinding, YearsBinding::Calendar);
    EXPECT_EQ(e.assumedYears, 0.0);
    EXPECT_TRUE(e.kpInRange.value_or(false));
    EXPECT_TRUE(e.reasons.isEmpty()) << e.reasons.join('\n').toStdString();

    // The used share of a group far too small is over 1, and never a negative
    // number of years left.
    in.ident = NameplateIdent("10 т", "А1", "20 лет", "01.06.2016");
    const DutyEstimate worn = EstimateDuty(in);
    ASSERT_TRUE(worn.lifeUsed && worn.yearsLeft);
    EXPECT_NEAR(*worn.lifeUsed, 6'000.0 / 7'800, 1e-12);
    in.totalCycles = 80'000;
    in.totalWeight = 240'000;
    const DutyEstimate spent = EstimateDuty(in);
    ASSERT_TRUE(spent.lifeUsed && spent.yearsLeft);
    EXPECT_GT(*spent.lifeUsed, 1.0);
    EXPECT_EQ(*spent.yearsLeft, 0.0);
}

TEST(NameplateTest, TheTextFormsOfTheFourFields) {
    EXPECT_EQ(ReadRatedLoad("25 т"), 25.0);
    EXPECT_EQ(ReadRatedLoad("25,0т"), 25.0);
    EXPECT_EQ(ReadRatedLoad("16 t"), 16.0);
    EXPECT_EQ(ReadRatedLoad("12.5 ТС"), 12.5);
    EXPECT_EQ(ReadRatedLoad("32000 кг"), 32.0);
    EXPECT_EQ(ReadRatedLoad("20"), 20.0);
    for (const char* garbage : {"", "двадцать", "25/5 т", "0 т", "25 м", "т"})
        EXPECT_FALSE(ReadRatedLoad(QString::fromUtf8(garbage))) << garbage;

    const auto group = [](const char* text) {
        const std::optional<GroupReading> g = ReadGroup(QString::fromUtf8(text));
        return g ? g->group * (g->oldMark ? -1 : 1) : 0;
    };
    EXPECT_EQ(group("А5"), 5); // Cyrillic А
    EXPECT_EQ(group("A5"), 5); // Latin A
    EXPECT_EQ(group(" a 3 "), 3);
    EXPECT_EQ(group("а8"), 8);
    EXPECT_EQ(group("5К"), -5); // the old mark, Cyrillic К
    EXPECT_EQ(group("1k"), -1);
    for (const char* garbage : {"", "А9", "A0", "M5", "А5А", "группа 5"})
        EXPECT_EQ(group(garbage), 0) << garbage;

    EXPECT_EQ(ReadServiceLife("10 лет"), 10);
    EXPECT_EQ(ReadServiceLife("20"), 20);
    EXPECT_EQ(ReadServiceLife("25 л."), 25);
    EXPECT_EQ(ReadServiceLife("8 years"), 8);
    for (const char* garbage : {"", "0", "десять", "10 мес", "1000"})
        EXPECT_FALSE(ReadServiceLife(QString::fromUtf8(garbage))) << garbage;

    EXPECT_EQ(ReadCommissioning("01.03.2008"), QDate(2008, 3, 1));
    EXPECT_EQ(ReadCommissioning("1.3.08"), QDate(2008, 3, 1));
    EXPECT_EQ(ReadCommissioning("01/03/1998"), QDate(1998, 3, 1));
    EXPECT_EQ(ReadCommissioning("2008-03-01"), QDate(2008, 3, 1));
    EXPECT_EQ(ReadCommissioning("15.06.99"), QDate(1999, 6, 15));
    for (const char* garbage : {"", "31.02.2008", "завтра", "2008", "01.13.2008"})
        EXPECT_FALSE(ReadCommissioning(QString::fromUtf8(garbage))) << garbage;

    // Zero bytes and unprogrammed bytes are blanks; the field is trimmed.
    IdentBytes ident = NameplateIdent("  16 т", "", "", "");
    ident[122 + 5] = 0xFF;
    EXPECT_EQ(IdentField(ident, 121, 20), QString::fromUtf8("16 т"));
}

QJsonObject JsonOf(const DutyEstimate& e) {
    return QJsonDocument::fromJson(DutyJson(e)).object();
}

TEST(DutyEstimateTest, WhatCannotBeReadIsAReasonNeverAFigure) {
    DutyInput in = Crane(NameplateIdent("", "М5", "долго", "вчера"), {10, 5});
    in.totalCycles = 1'000;
    in.totalWeight = 9'000;
    const DutyEstimate e = EstimateDuty(in);
    EXPECT_FALSE(e.kp);
    EXPECT_FALSE(e.lifeUsed);
    EXPECT_FALSE(e.group);
    EXPECT_FALSE(e.projectedCycles);
    const QString reasons = e.reasons.join('\n');
    for (const char* field : {"1.6", "1.7", "1.8", "1.9"})
        EXPECT_TRUE(reasons.contains(QLatin1String(field))) << field;
    EXPECT_TRUE(reasons.contains(QString::fromUtf8("«М5»")));

    const QJsonObject json = JsonOf(e);
    for (const char* key :
         {"rated_load_t", "cycles_rated", "cycles_no_weight", "overloads", "kp", "load_class",
          "cycles_total", "cycles_per_year", "projected_cycles", "utilization_class", "group",
          "nameplate_group", "life_used", "years_left", "reasons"})
        EXPECT_TRUE(json.contains(QLatin1String(key))) << key;
    EXPECT_TRUE(json["rated_load_t"].isNull());
    EXPECT_TRUE(json["kp"].isNull());
    EXPECT_TRUE(json["nameplate_group"].isNull());
    EXPECT_EQ(json["cycles_rated"].toInt(), 2);
    EXPECT_EQ(json["cycles_total"].toInt(), 1'000);
    EXPECT_EQ(json["reasons"].toArray().size(), e.reasons.size());
    // The rate falls back on the cycles' own period, and says so.
    EXPECT_EQ(json["cycles_per_year_basis"].toString(), "cycles");

    // The rated load given by the user stands in, and the file says so.
    in.ratedLoadGiven = 10.0;
    const DutyEstimate given = EstimateDuty(in);
    ASSERT_TRUE(given.kp);
    EXPECT_DOUBLE_EQ(*given.kp, (1.0 + 0.125) / 2);
    EXPECT_EQ(JsonOf(given)["rated_load_source"].toString(), "given");
    EXPECT_FALSE(given.lifeUsed); // still no group on the nameplate

    // No identification at all, and no cycle with a weight.
    DutyInput blank;
    TakeCycles(blank, 0xFF, 1, QDateTime());
    const DutyEstimate nothing = EstimateDuty(blank);
    EXPECT_FALSE(nothing.kp);
    EXPECT_EQ(nothing.cyclesNoWeight, 1);
    EXPECT_FALSE(DutyFileDue(nothing));
    EXPECT_GE(nothing.reasons.size(), 3);
}

TEST(DutyEstimateTest, TheCountersBoundKpAndOldMarksAreSaidSo) {
    // Every cycle at half load while the counters say a mean of 0.9: Kp 0.125
    // lies below 0.9³.
    DutyInput in = Crane(NameplateIdent("10 т", "4К", "10", "01.01.2020"), {5, 5, 5});
    in.totalCycles = 100;
    in.totalWeight = 900;
    in.recorderClock = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
    const DutyEstimate e = EstimateDuty(in);
    ASSERT_TRUE(e.kpInRange && e.meanLoad);
    EXPECT_DOUBLE_EQ(*e.meanLoad, 0.9);
    EXPECT_FALSE(*e.kpInRange);
    EXPECT_EQ(GroupName(e.nameplateGroup), "A4");
    EXPECT_TRUE(e.oldGroupMark);
    EXPECT_TRUE(e.notes.join('\n').contains(QString::fromUtf8("«4К»")));
    // The recorder installed (2.6) after commissioning: its counters miss
    // the years before, and a note says so.
    EXPECT_FALSE(e.notes.join('\n').contains(QLatin1String("2.6")));
    const QByteArray installed("01.01.2022");
    std::copy(installed.begin(), installed.end(), in.ident.begin() + 280);
    EXPECT_TRUE(EstimateDuty(in).notes.join('\n').contains(QLatin1String("2.6")));
    in.totalWeight = 550; // m = 0.55: 0.166 … 0.55 misses 0.125 still
    EXPECT_FALSE(*EstimateDuty(in).kpInRange);
    in.totalWeight = 500; // m = 0.5: 0.125 … 0.5
    EXPECT_TRUE(*EstimateDuty(in).kpInRange);
}

TEST(DutyInputTest, RecordsGiveCyclesAndTheReportsCounters) {
    DutyInput in;
    // Newest first: a record without a cycle, one with a weight only, then
    // a rated one; the counters stop at the first rated record.
    const std::uint8_t none[16] = {0x00, 0x12, 0x07, 0x03, 0x26, 0, 0,    1,
                                   0,    0,    9,    0,    0,    3, 0xFF, 0xFF};
    const std::uint8_t weightOnly[16] = {0x00, 0x11, 0x07, 0x03, 0x26, 0, 0,    1,
                                         0,    0,    8,    0,    0,    2, 0x05, 0xFF};
    const std::uint8_t rated[16] = {0x00, 0x10, 0x07, 0x03, 0x26, 0, 0,    1,
                                    0,    0,    3,    0,    0,    1, 0x03, 0x07};
    const std::uint8_t older[16] = {0x00, 0x09, 0x07, 0x03, 0x26, 0, 0,    1,
                                    0,    0,    0,    0,    0,    0, 0x00, 0x07};
    for (const auto* r : {none, weightOnly, rated, older})
        TakeSumRecord(in, std::span<const std::uint8_t>(r, 16));
    EXPECT_EQ(CyclesTaken(in), 3u);
    EXPECT_EQ(in.weightCounts[5], 1u);
    EXPECT_EQ(in.cyclesNewest, QDateTime(QDate(2026, 3, 7), QTime(11, 0)));
    EXPECT_EQ(in.cyclesOldest, QDateTime(QDate(2026, 3, 7), QTime(9, 0)));
    ASSERT_EQ(in.counters.size(), 4u);
    EXPECT_EQ(in.counters[0].cycles, 3u);
    EXPECT_EQ(in.counters[3].cycles, 0u);
    EXPECT_EQ(in.totalCycles, 1u);
    EXPECT_EQ(in.totalWeight, 3u);
    EXPECT_EQ(ClockFromText("07.03.2026 11:05"), QDateTime(QDate(2026, 3, 7), QTime(11, 5)));
    EXPECT_FALSE(ClockFromText("").isValid());
}

TEST(DutyEstimateTest, TheNoteOnKpOutsideTheCountersBoundsGivesThemToThreePlaces) {
    // Kp 0.125 of cycles at half load against a mean of 0.9 from the counters.
    DutyInput in = Crane(NameplateIdent("10 т", "4К", "10", "01.01.2020"), {5, 5, 5});
    in.totalCycles = 100;
    in.totalWeight = 900;
    const QString notes = EstimateDuty(in).notes.join('\n');
    EXPECT_TRUE(notes.contains(QString::fromUtf8("Kp прочитанных циклов (0,125) вне границ, "
                                                 "которые дают счетчики (0,729 … 0,900)")))
        << notes.toStdString();
}

TEST(DutySchemeTest, TheGroupTableCellByCell) {
    // Rows Q1..Q4, columns U0..U9, as the standard prints them: A1..A8.
    const char* rows[] = {"1112345678", "1123456788", "1234567888", "2345678888"};
    for (int q = 0; q < 4; ++q)
        for (int u = 0; u < 10; ++u)
            EXPECT_EQ(Group(q, u), rows[q][u] - '0') << "Q" << q + 1 << " U" << u;
}

TEST(NameplateTest, EachFieldIsReadToItsLastPosition) {
    const DutyEstimate e = EstimateDuty(Crane(
        NameplateIdent(QString(12, ' ') + QStringLiteral("25000 кг"),
                       QString(8, ' ') + QStringLiteral("А5"),
                       QString(4, ' ') + QStringLiteral("20 лет"), QStringLiteral("01.01.2020")),
        {5, 5, 5}));
    EXPECT_EQ(e.ratedLoadText, QStringLiteral("25000 кг"));
    EXPECT_EQ(e.groupText, QStringLiteral("А5"));
    EXPECT_EQ(e.lifeText, QStringLiteral("20 лет"));
    EXPECT_EQ(e.commissionedText, QStringLiteral("01.01.2020"));
    ASSERT_TRUE(e.ratedLoad);
    EXPECT_DOUBLE_EQ(*e.ratedLoad, 25.0);
}

} // namespace
