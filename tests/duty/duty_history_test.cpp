// The estimate's view of time on plain inputs: the calendar life against the
// recorder's clock, the cycles a year from the counters and where the
// counting began, the years before it taken at the group's design rate, and
// the numbers as a Russian reader reads them.

#include "duty/duty_estimate.h"
#include "duty/duty_report.h"
#include "duty/ru_numbers.h"
#include "duty_cases.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QString Nbsp(QChar(u'\u00A0'));

QDateTime At(int year, int month, int day, int hour = 12) {
    return QDateTime(QDate(year, month, day), QTime(hour, 0));
}

// Counter samples newest first, as the memory holds them.
DutyInput Counted(const IdentBytes& ident, const QDateTime& clock,
                  std::initializer_list<CounterSample> samples) {
    DutyInput in;
    in.ident = ident;
    in.hasIdent = true;
    in.recorderClock = clock;
    in.counters = samples;
    in.totalCycles = samples.begin()->cycles;
    // A few cycles at half load, so that Kp is 0.125.
    for (int i = 0; i < 4; ++i)
        TakeCycles(in, 10, 1, clock.addDays(-i));
    return in;
}

QJsonObject JsonOf(const DutyEstimate& e) {
    return QJsonDocument::fromJson(DutyJson(e)).object();
}

TEST(DutyCalendarTest, TheServiceLifeEndsAtCommissioningPlusItsYears) {
    // The default crane: 10 years from 14.04.2011, read on 09.12.2026.
    const DutyInput old = Counted(NameplateIdent("20 т", "А3", "10 лет", "14.04.2011"),
                                  At(2026, 12, 9), {{At(2026, 12, 9), 9'000}});
    const DutyEstimate e = EstimateDuty(old);
    ASSERT_TRUE(e.lifeEnd);
    EXPECT_EQ(*e.lifeEnd, QDate(2021, 4, 14));
    EXPECT_TRUE(e.lifeExpired);
    EXPECT_EQ(CalendarLifeText(e), QStringLiteral("Нормативный срок службы истек 14.04.2021: "
                                                  "требуется экспертиза промышленной "
                                                  "безопасности"));
    EXPECT_EQ(e.yearsLeft, 0.0);
    EXPECT_EQ(e.yearsBinding, YearsBinding::Calendar);
    const QJsonObject json = JsonOf(e);
    EXPECT_EQ(json["calendar_life"].toObject()["text"].toString(), CalendarLifeText(e));
    EXPECT_TRUE(json["calendar_life"].toObject()["expired"].toBool());
    // First in the file as on the page.
    EXPECT_TRUE(DutyJson(e).startsWith("{\n    \"calendar_life\": {"));
    EXPECT_TRUE(DutyText(e).section('\n', 1, 1).startsWith(CalendarLifeText(e)));

    // A day before the end the life still runs; on the day it has run out.
    DutyInput young = old;
    young.recorderClock = At(2021, 4, 13);
    const DutyEstimate running = EstimateDuty(young);
    EXPECT_FALSE(running.lifeExpired);
    ASSERT_TRUE(running.calendarYearsLeft);
    EXPECT_NEAR(*running.calendarYearsLeft, 1 / 365.25, 1e-12);
    young.recorderClock = At(2021, 4, 14, 0);
    EXPECT_TRUE(EstimateDuty(young).lifeExpired);

    // No service life on the nameplate: 20 years, and the text says so.
    DutyInput unnamed = old;
    unnamed.ident = NameplateIdent("20 т", "А3", "", "14.04.2011");
    const DutyEstimate twenty = EstimateDuty(unnamed);
    EXPECT_TRUE(twenty.lifeDefaulted);
    EXPECT_EQ(*twenty.lifeEnd, QDate(2031, 4, 14));
    EXPECT_EQ(CalendarLifeText(twenty),
              QStringLiteral("Нормативный срок службы истекает 14.04.2031: осталось 4,3 года "
                             "(срок в паспорте не указан: принят 20 лет по 116-ФЗ, ст. 7)"));
    EXPECT_EQ(JsonOf(twenty)["calendar_life"].toObject()["source"].toString(),
              "default_116_fz_art_7");
}

TEST(DutyCalendarTest, YearsLeftAreTheSmallerLimitAndSayWhich) {
    // Commissioned this year, counted from the start, at 100 cycles a year
    // and Kp 0.125: the budget lasts thousands of years, the calendar 20.
    DutyInput in = Counted(NameplateIdent("20 т", "А5", "20 лет", "01.01.2026"), At(2026, 12, 1),
                           {{At(2026, 12, 1), 100}, {At(2026, 1, 1), 0}});
    in.counterStart = At(2026, 1, 1, 0);
    const DutyEstimate e = EstimateDuty(in);
    ASSERT_TRUE(e.cycleYearsLeft && e.calendarYearsLeft && e.yearsLeft);
    EXPECT_GT(*e.cycleYearsLeft, 100.0);
    EXPECT_EQ(e.yearsBinding, YearsBinding::Calendar);
    EXPECT_EQ(*e.yearsLeft, *e.calendarYearsLeft);
    EXPECT_TRUE(DutyYearsLeftLine(e).endsWith(QStringLiteral("по ресурсу группы при нынешнем "
                                                             "темпе — более 100 лет")))
        << DutyYearsLeftLine(e).toStdString();
    EXPECT_EQ(DutyYearsLeftText(1626.1), QStringLiteral("более 100 лет"));
    EXPECT_EQ(DutyYearsLeftText(99.94), QStringLiteral("99,9 года"));

    // A busy crane: the budget binds.
    in.counters = {{At(2026, 12, 1), 900'000}, {At(2026, 1, 1), 0}};
    in.totalCycles = 900'000;
    const DutyEstimate busy = EstimateDuty(in);
    EXPECT_EQ(busy.yearsBinding, YearsBinding::Cycles);
    EXPECT_EQ(busy.yearsLeft, busy.cycleYearsLeft);
    EXPECT_LT(*busy.yearsLeft, *busy.calendarYearsLeft);
    EXPECT_EQ(JsonOf(busy)["years_left_binding"].toString(), "cycles");
}

TEST(DutyRateTest, TheCountersBetweenTheOldestAndNewestRecordGiveTheRate) {
    const IdentBytes ident = NameplateIdent("20 т", "А3", "10 лет", "14.04.2011");
    // 7,335 cycles from 25.03.2022 to 09.12.2026, the counter at 9,568.
    DutyInput in = Counted(ident, At(2026, 12, 9),
                           {{At(2026, 12, 9), 9'568},
                            {At(2024, 6, 1), 5'000},
                            {QDateTime(), 4'000}, // undated: left out of the walk
                            {At(2022, 3, 25), 2'233}});
    in.counterStart = At(2022, 3, 25, 11);
    const DutyEstimate e = EstimateDuty(in);
    ASSERT_TRUE(e.cyclesPerYear);
    EXPECT_EQ(e.rateBasis, RateBasis::Counters);
    EXPECT_EQ(e.rateCycles, 7'335u);
    const double years = At(2022, 3, 25).secsTo(At(2026, 12, 9)) / (365.25 * 86400);
    EXPECT_NEAR(*e.cyclesPerYear, 7'335 / years, 1e-9);
    EXPECT_EQ(JsonOf(e)["cycles_per_year_basis"].toString(), "counters");
    EXPECT_TRUE(DutyRateText(e).contains(QStringLiteral("по счетчику циклов записей в памяти")));

    // A counter that drops between two records was reset: the newer one
    // counts from zero, and what the older held is counted too.
    in.counters = {{At(2026, 12, 9), 500}, {At(2024, 6, 1), 4'000}, {At(2022, 3, 25), 1'000}};
    in.totalCycles = 500;
    const DutyEstimate reset = EstimateDuty(in);
    EXPECT_EQ(reset.rateCycles, 500u + 3'000u);
    EXPECT_EQ(reset.counterResets, 1);
    EXPECT_EQ(reset.countedCycles, 500u + 4'000u);

    // Records of ten days only, the erase two years back: the counter since
    // its start tells more.
    in.counters = {{At(2026, 12, 9), 3'000}, {At(2026, 11, 29), 2'950}};
    in.totalCycles = 3'000;
    in.counterStart = At(2024, 12, 9);
    const DutyEstimate start = EstimateDuty(in);
    EXPECT_EQ(start.rateBasis, RateBasis::CounterStart);
    EXPECT_NEAR(*start.cyclesPerYear,
                3'000 / (At(2024, 12, 9).secsTo(At(2026, 12, 9)) / (365.25 * 86400)), 1e-9);
    EXPECT_EQ(JsonOf(start)["cycles_per_year_basis"].toString(), "counter_start");
    // A reset after the erase lies within the records: counted across it.
    in.counters = {{At(2026, 12, 9), 300}, {At(2026, 11, 29), 250}, {At(2025, 12, 9), 8'000}};
    in.totalCycles = 300;
    const DutyEstimate later = EstimateDuty(in);
    EXPECT_EQ(later.rateBasis, RateBasis::Counters);
    EXPECT_EQ(later.rateCycles, 300u);
    // So too over records of a month only: the reset within them says no
    // more than the counters across it.
    in.counters = {{At(2026, 12, 9), 300}, {At(2026, 11, 29), 250}, {At(2026, 11, 9), 8'000}};
    const DutyEstimate month = EstimateDuty(in);
    EXPECT_EQ(month.rateBasis, RateBasis::Counters);
    EXPECT_EQ(month.rateCycles, 300u);

    // Nothing but the counter and the nameplate: commissioning, and it says so.
    DutyInput bare;
    bare.ident = ident;
    bare.hasIdent = true;
    bare.recorderClock = At(2026, 12, 9);
    bare.totalCycles = 9'568;
    bare.counters = {{At(2026, 12, 9), 9'568}};
    const DutyEstimate commissioning = EstimateDuty(bare);
    EXPECT_EQ(commissioning.rateBasis, RateBasis::Commissioning);
    EXPECT_TRUE(DutyRateText(commissioning).contains(QStringLiteral("с ввода в эксплуатацию")));
}

TEST(DutyLifeTest, TheYearsBeforeTheCountingAreTakenAtTheDesignRate) {
    // А5: 125,000 equivalent cycles over 20 years. Counted since the erase
    // on 01.01.2020, commissioned 01.01.2010: ten years without counts.
    DutyInput in = Counted(NameplateIdent("20 т", "А5", "20 лет", "01.01.2010"), At(2026, 1, 1),
                           {{At(2026, 1, 1), 8'000}, {At(2020, 1, 2), 10}});
    in.counterStart = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    const DutyEstimate e = EstimateDuty(in);
    const double years = QDate(2010, 1, 1).daysTo(QDate(2020, 1, 1)) / 365.25;
    EXPECT_EQ(e.countStart, CountStart::EraseTime);
    EXPECT_NEAR(e.assumedYears, years, 1e-12);
    ASSERT_TRUE(e.lifeUsedAssumed && e.lifeUsedCounted && e.lifeUsed && e.cycleYearsLeft);
    EXPECT_NEAR(*e.lifeUsedAssumed, 1.5 * years / 20, 1e-12);
    EXPECT_NEAR(*e.lifeUsedCounted, 8'000 * 0.125 / 125'000, 1e-12);
    EXPECT_NEAR(*e.lifeUsed, *e.lifeUsedCounted + *e.lifeUsedAssumed, 1e-12);
    const double left = 125'000 * (1 - *e.lifeUsed) / (*e.cyclesPerYear * 0.125);
    EXPECT_NEAR(*e.cycleYearsLeft, left, 1e-6);
    const QJsonObject json = JsonOf(e);
    EXPECT_NEAR(json["life_used"].toDouble(), *e.lifeUsed, 1e-12);
    EXPECT_NEAR(json["life_used_counted"].toDouble(), *e.lifeUsedCounted, 1e-12);
    EXPECT_NEAR(json["life_used_assumed"].toDouble(), *e.lifeUsedAssumed, 1e-12);
    EXPECT_TRUE(e.notes.join('\n').contains(QStringLiteral("ISO 12482, по аналогии")));
    // Ten cycles a day and a half after the erase fit; 61 an hour after it
    // do not: the erase left the counter as it was, and the page says so.
    const QString notZeroed = QStringLiteral("при стирании счетчик не обнулялся");
    EXPECT_FALSE(e.notes.join('\n').contains(notZeroed));
    DutyInput kept = in;
    kept.counters.back() = {QDateTime(QDate(2020, 1, 1), QTime(1, 0)), 61};
    EXPECT_FALSE(EstimateDuty(kept).notes.join('\n').contains(notZeroed));
    kept.counters.back().cycles = 62;
    const DutyEstimate notErased = EstimateDuty(kept);
    EXPECT_TRUE(notErased.notes.join('\n').contains(
        QStringLiteral("Счетчик циклов у самой старой записи (62 на 01.01.2020 01:00) больше, "
                       "чем циклов могло быть с времени стирания 01.01.2020 00:00 (не больше "
                       "одного в минуту): ") +
        notZeroed + QStringLiteral(". Его циклы до стирания")))
        << notErased.notes.join('\n').toStdString();

    // An erase before commissioning leaves no year uncounted.
    in.counterStart = QDateTime(QDate(2009, 6, 1), QTime(0, 0));
    const DutyEstimate whole = EstimateDuty(in);
    EXPECT_EQ(whole.assumedYears, 0.0);
    EXPECT_EQ(whole.lifeUsedAssumed, 0.0);
    EXPECT_NEAR(*whole.lifeUsed, *whole.lifeUsedCounted, 1e-15);

    // No erase time: the recorder's installation (2.6) starts the count.
    in.counterStart = QDateTime();
    const QByteArray installed("01.01.2015");
    std::copy(installed.begin(), installed.end(), in.ident.begin() + 280);
    const DutyEstimate fitted = EstimateDuty(in);
    EXPECT_EQ(fitted.countStart, CountStart::Installation);
    EXPECT_NEAR(fitted.assumedYears, QDate(2010, 1, 1).daysTo(QDate(2015, 1, 1)) / 365.25, 1e-12);
}

TEST(RuNumbersTest, ACommaOneSeparatorAndTheNounsForm) {
    EXPECT_EQ(RuCount(8'554), "8" + Nbsp + "554");
    EXPECT_EQ(RuCount(1'234'567), "1" + Nbsp + "234" + Nbsp + "567");
    EXPECT_EQ(RuCount(611), "611");
    EXPECT_EQ(RuNumber(1'560.26, 1), "1" + Nbsp + "560,3");
    EXPECT_EQ(DutyKpText(0.15), "0,150");
    EXPECT_EQ(DutyShareText(0.048), "4,8 %");
    EXPECT_EQ(DutyCountText(1'234'567.4), "1" + Nbsp + "234" + Nbsp + "567");
    EXPECT_EQ(RuShortest(12.5, 3), "12,5");
    EXPECT_EQ(RuShortest(25, 3), "25");
    EXPECT_EQ(RuYears(15.3), "15,3 года");
    EXPECT_EQ(RuYears(0.5), "0,5 года");
    EXPECT_EQ(RuYears(1), "1 год");
    EXPECT_EQ(RuYears(21), "21 год");
    EXPECT_EQ(RuYears(3), "3 года");
    EXPECT_EQ(RuYears(5), "5 лет");
    EXPECT_EQ(RuYears(11), "11 лет");
    EXPECT_EQ(RuYears(0), "0 лет");
    EXPECT_EQ(RuYears(4.96), "5 лет");
}

TEST(DutyRateTest, OnlyACounterThatWasResetGetsTheNoteOnResets) {
    const IdentBytes ident = NameplateIdent("20 т", "А3", "10 лет", "14.04.2011");
    DutyInput in =
        Counted(ident, At(2026, 12, 9), {{At(2026, 12, 9), 9'568}, {At(2024, 6, 1), 5'000}});
    const QString resetNote = QStringLiteral("Счетчик циклов обнулялся");
    EXPECT_FALSE(EstimateDuty(in).notes.join('\n').contains(resetNote));
    in.counters = {{At(2026, 12, 9), 500}, {At(2024, 6, 1), 4'000}};
    in.totalCycles = 500;
    EXPECT_TRUE(EstimateDuty(in).notes.join('\n').contains(
        resetNote + QStringLiteral(" между записями (1 раз)")))
        << EstimateDuty(in).notes.join('\n').toStdString();
}

} // namespace
