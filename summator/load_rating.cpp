#include "summator/load_rating.h"

namespace {

// Positions of the cycle's measurements and the running totals in the reply.
constexpr int WeightPos = 15;
constexpr int ReachPos = 16;
constexpr int HoursPos = 6;
constexpr int TotalWeightPos = 9;
constexpr int CyclesPos = 12;
constexpr std::uint8_t Absent = 0xFF;
constexpr int SumRecordLength = 16;

// fullScale x quarters / 4, rounded to the nearest integer, ties to even.
// Integer arithmetic keeps the result independent of the FPU rounding mode.
std::int32_t RoundQuarters(std::int32_t fullScale, int quarters) {
    const std::int64_t n = static_cast<std::int64_t>(fullScale) * quarters;
    std::int64_t q = n / 4;
    std::int64_t rem = n % 4;
    if (rem < 0) { // floor division for negative scales
        rem += 4;
        q -= 1;
    }
    if (rem > 2 || (rem == 2 && (q % 2) != 0))
        q += 1;
    return static_cast<std::int32_t>(q);
}

} // namespace

RatingBounds ComputeBounds(std::int32_t fullScale) {
    return {RoundQuarters(fullScale, 3), RoundQuarters(fullScale, 2), RoundQuarters(fullScale, 1)};
}

int LoadClassIndex(std::int32_t loadValue, std::int32_t fullScale) {
    const RatingBounds b = ComputeBounds(fullScale);
    if (loadValue >= fullScale)
        return 0;
    if (loadValue >= b.bound75)
        return 1;
    if (loadValue >= b.bound50)
        return 2;
    if (loadValue >= b.bound25)
        return 3;
    return 4;
}

bool BlankSumRecord(ReplyView record) {
    for (int k = 1; k <= SumRecordLength; ++k) {
        if (ReplyByte(record, k) != Absent)
            return false;
    }
    return true;
}

LoadSpectrum::LoadSpectrum() {
    Reset();
}

void LoadSpectrum::Reset() {
    loadClasses_.fill(EmptyRepoSum);
    latestCycles_.fill(EmptyRepoSum);
    for (int i = 0; i < LoadClassCount; ++i)
        loadClasses_[static_cast<std::size_t>(i)].label =
            QString::fromLatin1(LoadClassLabels[static_cast<std::size_t>(i)]);
    latestCount_ = 1;
    hasRecords_ = false;
    totalHoursText_.clear();
    totalWeightText_.clear();
    totalCyclesText_.clear();
    oldestCycleText_.clear();
}

RatingOutcome LoadSpectrum::Rating(ReplyView record, RatingBasis basis, std::int32_t fullScale) {
    // Positions 1..16 must be there; a short view would be read past its end.
    if (record.size() <= static_cast<std::size_t>(ReachPos))
        return RatingOutcome::BadRecord;

    // An empty slot holds no totals: its 0xFF bytes would read as 16777215.
    if (BlankSumRecord(record))
        return RatingOutcome::Blank;
    hasRecords_ = true;

    const std::uint8_t w = record[WeightPos];
    const std::uint8_t r = record[ReachPos];

    // Until the first cycle is rated every record overwrites the totals, so
    // they come from the newest record that is a rated cycle (or, without
    // any, from the oldest record read that is not a blank slot).
    if (latestCount_ == 1) {
        totalHoursText_ = BigNum(record, HoursPos);
        totalWeightText_ = BigNum(record, TotalWeightPos);
        totalCyclesText_ = BigNum(record, CyclesPos);
    }

    // A cycle needs both measurements, also when rated by weight alone.
    if (w == Absent || r == Absent)
        return RatingOutcome::NotCycle;

    const std::int32_t weight = w;
    const std::int32_t reach = r;
    const std::int32_t moment = weight * reach;
    const std::int32_t loadValue = basis == RatingBasis::Moment ? moment : weight;
    const int cls = LoadClassIndex(loadValue, fullScale);
    const QString time = RTime(record);
    const QString date = RDate(record);

    // Walking backwards, the last rated cycle is the oldest one.
    oldestCycleText_ = date + QLatin1Char(' ') + time;

    if (latestCount_ <= LatestCycleLimit) {
        TRepoSum& e = latestCycles_[static_cast<std::size_t>(latestCount_ - 1)];
        e.count = latestCount_;
        e.weight = weight;
        e.reach = reach;
        e.moment = moment;
        e.time = time;
        e.date = date;
        e.label = QString::fromLatin1(LoadClassLabels[static_cast<std::size_t>(cls)]);
        ++latestCount_;
    }

    // The first cycle met in a class is its newest one; later ones only count.
    TRepoSum& c = loadClasses_[static_cast<std::size_t>(cls)];
    if (c.count == 0) {
        c.count = 1;
        c.weight = weight;
        c.reach = reach;
        c.moment = moment;
        c.time = time;
        c.date = date;
    } else {
        ++c.count;
    }
    return RatingOutcome::Rated;
}
