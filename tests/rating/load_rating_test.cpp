#include "summator/load_rating.h"
#include "summator_records.h"

#include <QString>

#include <gtest/gtest.h>
#include <vector>

namespace {

// Index of the class whose count went up from an empty spectrum, -1 if none.
int CountedClass(const LoadSpectrum& s) {
    int found = -1;
    for (int i = 0; i < LoadClassCount; ++i) {
        if (s.LoadClasses()[static_cast<std::size_t>(i)].count != 0) {
            if (found != -1)
                return -2; // more than one class counted
            found = i;
        }
    }
    return found;
}

int ClassOfLabel(const QString& label) {
    for (int i = 0; i < LoadClassCount; ++i) {
        if (label == QLatin1String(LoadClassLabels[static_cast<std::size_t>(i)]))
            return i;
    }
    return -1;
}

RatingOutcome Rate(LoadSpectrum& s, const SumFields& f, RatingBasis basis, std::int32_t fullScale) {
    const SumReply reply = MakeSumReply(f);
    return s.Rating(reply, basis, fullScale);
}

} // namespace

// ---------------------------------------------------------------- bounds

struct BoundsCase {
    std::int32_t fullScale;
    RatingBounds expected;
};

class BoundsTest : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(BoundsTest, RoundHalfToEven) {
    EXPECT_EQ(ComputeBounds(GetParam().fullScale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(LoadSpectrum, BoundsTest,
                         ::testing::Values(BoundsCase{800, {600, 400, 200}},
                                           // 37.5 and 12.5 go to the even neighbour
                                           BoundsCase{50, {38, 25, 12}},
                                           // 7.5 up to 8, 2.5 down to 2
                                           BoundsCase{10, {8, 5, 2}}, BoundsCase{0, {0, 0, 0}},
                                           // 1.5 up to 2, 0.5 down to 0
                                           BoundsCase{2, {2, 1, 0}},
                                           // 4.5 down to 4, 1.5 up to 2
                                           BoundsCase{6, {4, 3, 2}},
                                           BoundsCase{9999, {7499, 5000, 2500}}));

// ------------------------------------------------------- worked examples

struct RatingCase {
    RatingBasis basis;
    std::int32_t fullScale;
    std::uint8_t weight;
    std::uint8_t reach;
    const char* label; // nullptr: not rated
};

class RatingTableTest : public ::testing::TestWithParam<RatingCase> {};

TEST_P(RatingTableTest, RatesIntoClass) {
    const RatingCase& c = GetParam();
    LoadSpectrum s;
    const RatingOutcome outcome = Rate(s, Cycle(c.weight, c.reach), c.basis, c.fullScale);

    if (c.label == nullptr) {
        EXPECT_EQ(outcome, RatingOutcome::NotCycle);
        EXPECT_EQ(CountedClass(s), -1);
        EXPECT_EQ(s.LatestCount(), 1);
        EXPECT_EQ(s.LatestCycles()[0], EmptyRepoSum);
        return;
    }
    ASSERT_EQ(outcome, RatingOutcome::Rated);
    const int expected = ClassOfLabel(QLatin1String(c.label));
    ASSERT_GE(expected, 0);
    EXPECT_EQ(CountedClass(s), expected);
    const TRepoSum& cls = s.LoadClasses()[static_cast<std::size_t>(expected)];
    EXPECT_EQ(cls.label, QLatin1String(c.label));
    EXPECT_EQ(cls.count, 1);
    // The newest-cycles list names the same class as the class table.
    const TRepoSum& latest = s.LatestCycles()[0];
    EXPECT_EQ(latest.label, QLatin1String(c.label));
    EXPECT_EQ(latest.count, 1);
    EXPECT_EQ(latest.weight, c.weight);
    EXPECT_EQ(latest.reach, c.reach);
    EXPECT_EQ(latest.moment, c.weight * c.reach);
    EXPECT_EQ(s.LatestCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(MomentMode800, RatingTableTest,
                         ::testing::Values(RatingCase{RatingBasis::Moment, 800, 40, 20, ">100%"},
                                           RatingCase{RatingBasis::Moment, 800, 50, 20, ">100%"},
                                           RatingCase{RatingBasis::Moment, 800, 30, 20, "<100%"},
                                           RatingCase{RatingBasis::Moment, 800, 20, 20, "<75%"},
                                           RatingCase{RatingBasis::Moment, 800, 19, 21, "<50%"},
                                           RatingCase{RatingBasis::Moment, 800, 10, 20, "<50%"},
                                           RatingCase{RatingBasis::Moment, 800, 9, 22, "<25%"},
                                           RatingCase{RatingBasis::Moment, 800, 0, 7, "<25%"},
                                           RatingCase{RatingBasis::Moment, 800, 12, 0xFF, nullptr},
                                           RatingCase{RatingBasis::Moment, 800, 0xFF, 7, nullptr}));

// The reach does not matter by weight, but must be a valid byte.
INSTANTIATE_TEST_SUITE_P(WeightMode50, RatingTableTest,
                         ::testing::Values(RatingCase{RatingBasis::Weight, 50, 50, 3, ">100%"},
                                           RatingCase{RatingBasis::Weight, 50, 38, 3, "<100%"},
                                           RatingCase{RatingBasis::Weight, 50, 37, 3, "<75%"},
                                           RatingCase{RatingBasis::Weight, 50, 25, 3, "<75%"},
                                           RatingCase{RatingBasis::Weight, 50, 12, 3, "<50%"},
                                           RatingCase{RatingBasis::Weight, 50, 11, 3, "<25%"},
                                           // large reach: a moment rating would say ">100%"
                                           RatingCase{RatingBasis::Weight, 50, 11, 200, "<25%"},
                                           RatingCase{RatingBasis::Weight, 50, 40, 0xFF, nullptr}));

// Bounds 8, 5 and 2: a value at a bound belongs to the higher class.
INSTANTIATE_TEST_SUITE_P(WeightMode10, RatingTableTest,
                         ::testing::Values(RatingCase{RatingBasis::Weight, 10, 10, 1, ">100%"},
                                           RatingCase{RatingBasis::Weight, 10, 9, 1, "<100%"},
                                           RatingCase{RatingBasis::Weight, 10, 8, 1, "<100%"},
                                           RatingCase{RatingBasis::Weight, 10, 7, 1, "<75%"},
                                           RatingCase{RatingBasis::Weight, 10, 5, 1, "<75%"},
                                           RatingCase{RatingBasis::Weight, 10, 4, 1, "<50%"},
                                           RatingCase{RatingBasis::Weight, 10, 2, 1, "<50%"},
                                           RatingCase{RatingBasis::Weight, 10, 1, 1, "<25%"},
                                           RatingCase{RatingBasis::Weight, 10, 0, 1, "<25%"}));

// With a full scale of 0 every bound is 0: even an empty hook is ">100%".
INSTANTIATE_TEST_SUITE_P(FullScaleZero, RatingTableTest,
                         ::testing::Values(RatingCase{RatingBasis::Moment, 0, 0, 0, ">100%"},
                                           RatingCase{RatingBasis::Moment, 0, 1, 1, ">100%"},
                                           RatingCase{RatingBasis::Weight, 0, 0, 5, ">100%"},
                                           RatingCase{RatingBasis::Weight, 0, 254, 254, ">100%"}));

// ----------------------------------------------------- accumulation rules

TEST(LoadSpectrum, ResetSetsLabelsAndEmptiesEverything) {
    LoadSpectrum s;
    for (int i = 0; i < 4; ++i)
        Rate(s, Cycle(40, 20), RatingBasis::Moment, 800);
    s.Reset();
    for (int i = 0; i < LoadClassCount; ++i) {
        TRepoSum expected = EmptyRepoSum;
        expected.label = QLatin1String(LoadClassLabels[static_cast<std::size_t>(i)]);
        EXPECT_EQ(s.LoadClasses()[static_cast<std::size_t>(i)], expected);
    }
    for (const TRepoSum& e : s.LatestCycles())
        EXPECT_EQ(e, EmptyRepoSum);
    EXPECT_EQ(s.LatestCount(), 1);
    EXPECT_TRUE(s.OldestCycleText().isEmpty());
    EXPECT_TRUE(s.TotalCyclesText().isEmpty());
}

TEST(LoadSpectrum, FewerThanTenCyclesLeaveTheRestEmpty) {
    LoadSpectrum s;
    const std::uint8_t weights[] = {40, 10, 25};
    for (std::uint8_t w : weights)
        ASSERT_EQ(Rate(s, Cycle(w, 10), RatingBasis::Moment, 800), RatingOutcome::Rated);
    EXPECT_EQ(s.LatestCount(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.LatestCycles()[static_cast<std::size_t>(i)].count, i + 1);
        EXPECT_EQ(s.LatestCycles()[static_cast<std::size_t>(i)].weight, weights[i]);
    }
    for (int i = 3; i < LatestCycleLimit; ++i)
        EXPECT_EQ(s.LatestCycles()[static_cast<std::size_t>(i)], EmptyRepoSum) << "entry " << i;
}

TEST(LoadSpectrum, KeepsOnlyTheTenNewestButCountsAll) {
    LoadSpectrum s;
    for (int i = 0; i < 13; ++i) {
        SumFields f = Cycle(static_cast<std::uint8_t>(i + 1), 1);
        f.minute = i;
        ASSERT_EQ(Rate(s, f, RatingBasis::Weight, 1000), RatingOutcome::Rated);
    }
    EXPECT_EQ(s.LatestCount(), LatestCycleLimit + 1);
    EXPECT_EQ(s.LatestCycles()[9].count, 10);
    EXPECT_EQ(s.LatestCycles()[9].weight, 10);
    EXPECT_EQ(s.LatestCycles()[9].time, QStringLiteral("00:09"));
    // All 13 are light against 1000 t.
    EXPECT_EQ(s.LoadClasses()[4].count, 13);
    // The oldest cycle is still followed past the tenth.
    EXPECT_EQ(s.OldestCycleText(), QStringLiteral("01.01.2009 00:12"));
}

TEST(LoadSpectrum, ClassKeepsItsNewestCycleWhileOldestTextFollowsTheLast) {
    LoadSpectrum s;
    // Newest first, as the readout walks the memory.
    const SumFields records[] = {
        {15, 3, 9, 10, 5, 300, 4500, 120, 30, 20},  // 600: "<100%"
        {14, 3, 9, 9, 30, 290, 4400, 119, 2, 3},    // 6: "<25%"
        {13, 3, 9, 16, 45, 280, 4300, 118, 35, 19}, // 665: "<100%"
        {12, 3, 9, 8, 15, 270, 4200, 117, 32, 20},  // 640: "<100%"
    };
    for (const SumFields& f : records)
        ASSERT_EQ(Rate(s, f, RatingBasis::Moment, 800), RatingOutcome::Rated);

    const TRepoSum& heavy = s.LoadClasses()[1];
    EXPECT_EQ(heavy.count, 3);
    EXPECT_EQ(heavy.date, QStringLiteral("15.03.2009"));
    EXPECT_EQ(heavy.time, QStringLiteral("10:05"));
    EXPECT_EQ(heavy.weight, 30);
    EXPECT_EQ(heavy.reach, 20);
    EXPECT_EQ(heavy.moment, 600);

    const TRepoSum& light = s.LoadClasses()[4];
    EXPECT_EQ(light.count, 1);
    EXPECT_EQ(light.date, QStringLiteral("14.03.2009"));
    EXPECT_EQ(light.time, QStringLiteral("09:30"));

    EXPECT_EQ(s.OldestCycleText(), QStringLiteral("12.03.2009 08:15"));
    // Totals of the newest record.
    EXPECT_EQ(s.TotalHoursText(), QStringLiteral("300"));
    EXPECT_EQ(s.TotalWeightText(), QStringLiteral("4500"));
    EXPECT_EQ(s.TotalCyclesText(), QStringLiteral("120"));
}

TEST(LoadSpectrum, TotalsComeFromTheFirstRatedRecord) {
    LoadSpectrum s;
    SumFields none; // weight and reach absent
    none.hours = 500;
    none.totalWeight = 9000;
    none.cycles = 210;
    SumFields first = Cycle(20, 10);
    first.hours = 490;
    first.totalWeight = 8800;
    first.cycles = 200;
    SumFields older = Cycle(20, 10);
    older.hours = 480;
    older.totalWeight = 8700;
    older.cycles = 199;

    EXPECT_EQ(Rate(s, none, RatingBasis::Moment, 800), RatingOutcome::NotCycle);
    EXPECT_EQ(s.TotalCyclesText(), QStringLiteral("210"));
    EXPECT_EQ(Rate(s, first, RatingBasis::Moment, 800), RatingOutcome::Rated);
    EXPECT_EQ(Rate(s, older, RatingBasis::Moment, 800), RatingOutcome::Rated);
    EXPECT_EQ(s.TotalHoursText(), QStringLiteral("490"));
    EXPECT_EQ(s.TotalWeightText(), QStringLiteral("8800"));
    EXPECT_EQ(s.TotalCyclesText(), QStringLiteral("200"));
}

TEST(LoadSpectrum, NoRatedCycleLeavesCountsZeroAndTotalsOfTheOldestRecord) {
    LoadSpectrum s;
    // An earlier readout with a cycle must leave nothing behind.
    SumFields earlier = Cycle(40, 20);
    earlier.day = 28;
    ASSERT_EQ(Rate(s, earlier, RatingBasis::Moment, 800), RatingOutcome::Rated);
    s.Reset();

    for (std::uint32_t cycles : {77u, 76u, 75u}) {
        SumFields f;
        f.cycles = cycles;
        f.totalWeight = cycles * 10;
        f.hours = cycles + 1;
        f.weight = cycles == 76u ? 12 : 0xFF; // one record with weight only
        EXPECT_EQ(Rate(s, f, RatingBasis::Weight, 50), RatingOutcome::NotCycle);
    }
    for (const TRepoSum& c : s.LoadClasses())
        EXPECT_EQ(c.count, 0) << c.label.toStdString();
    for (const TRepoSum& e : s.LatestCycles())
        EXPECT_EQ(e, EmptyRepoSum);
    EXPECT_EQ(s.LatestCount(), 1);
    EXPECT_EQ(s.TotalCyclesText(), QStringLiteral("75"));
    EXPECT_EQ(s.TotalWeightText(), QStringLiteral("750"));
    EXPECT_EQ(s.TotalHoursText(), QStringLiteral("76"));
    EXPECT_TRUE(s.OldestCycleText().isEmpty());
}

TEST(LoadSpectrum, MomentIsKeptWhenRatingByWeight) {
    LoadSpectrum s;
    ASSERT_EQ(Rate(s, Cycle(12, 7), RatingBasis::Weight, 50), RatingOutcome::Rated);
    EXPECT_EQ(s.LatestCycles()[0].moment, 84);
    EXPECT_EQ(s.LoadClasses()[3].moment, 84); // 12 t of 50: "<50%"
    // 254 x 254 still fits the numbers.
    ASSERT_EQ(Rate(s, Cycle(254, 254), RatingBasis::Moment, 9999), RatingOutcome::Rated);
    EXPECT_EQ(s.LatestCycles()[1].moment, 64516);
}

TEST(LoadSpectrum, OnlyASlotErasedWholeIsBlank) {
    SumReply erased;
    erased.fill(0xFF);
    LoadSpectrum s;
    EXPECT_EQ(s.Rating(erased, RatingBasis::Weight, 50), RatingOutcome::Blank);
    EXPECT_FALSE(s.HasRecords());
    // One written byte anywhere in the record makes it a record.
    for (std::size_t k = 1; k <= 16; ++k) {
        SumReply written = erased;
        written[k] = 0x00;
        LoadSpectrum t;
        EXPECT_EQ(t.Rating(written, RatingBasis::Weight, 50), RatingOutcome::NotCycle) << k;
        EXPECT_TRUE(t.HasRecords()) << k;
    }
}

TEST(LoadSpectrum, ShortRecordIsRejectedUntouched) {
    LoadSpectrum s;
    ASSERT_EQ(Rate(s, Cycle(40, 20), RatingBasis::Moment, 800), RatingOutcome::Rated);
    const SumReply full = MakeSumReply(Cycle(30, 20));
    const std::vector<ReplyView> shortViews = {ReplyView(), ReplyView(full.data(), 11),
                                               ReplyView(full.data(), 16)};
    for (const ReplyView& view : shortViews) {
        EXPECT_EQ(s.Rating(view, RatingBasis::Moment, 800), RatingOutcome::BadRecord)
            << view.size();
    }
    EXPECT_EQ(s.LatestCount(), 2);
    EXPECT_EQ(s.LoadClasses()[0].count, 1);
    EXPECT_EQ(s.LoadClasses()[1].count, 0);
    // Exactly 17 positions (0..16) are a whole record.
    EXPECT_EQ(s.Rating(ReplyView(full.data(), 17), RatingBasis::Moment, 800), RatingOutcome::Rated);
}

TEST(LoadSpectrum, ClassIndexAtBoundsAndNegativeScale) {
    // At each bound the higher class, one below it the lower one.
    EXPECT_EQ(LoadClassIndex(800, 800), 0);
    EXPECT_EQ(LoadClassIndex(799, 800), 1);
    EXPECT_EQ(LoadClassIndex(600, 800), 1);
    EXPECT_EQ(LoadClassIndex(599, 800), 2);
    EXPECT_EQ(LoadClassIndex(400, 800), 2);
    EXPECT_EQ(LoadClassIndex(399, 800), 3);
    EXPECT_EQ(LoadClassIndex(200, 800), 3);
    EXPECT_EQ(LoadClassIndex(199, 800), 4);
    // A scale below zero (a hand-edited settings file) rates everything full.
    EXPECT_EQ(LoadClassIndex(0, -10), 0);
    EXPECT_EQ(ComputeBounds(-10), (RatingBounds{-8, -5, -2}));
}
