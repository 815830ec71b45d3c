#pragma once

#include "decoding/fields.h"

#include <QString>

#include <array>
#include <cstdint>

// The load spectrum of a summator readout: every lifting cycle is rated into
// one of five load classes against a 100 % value, and the ten newest cycles
// are kept for the report.

// One line of the spectrum. In a load class: the class name, the newest cycle
// of the class and the number of its cycles. In the list of newest cycles: the
// class name of the cycle, the cycle and its ordinal (1 = newest).
struct TRepoSum {
    QString label;
    QString time; // hh:mm
    QString date; // dd.mm.20yy
    std::int32_t weight = 0;
    std::int32_t reach = 0;
    std::int32_t moment = 0; // weight x reach, whatever the basis of the rating
    std::int32_t count = 0;

    bool operator==(const TRepoSum&) const = default;
};

// All texts empty, all numbers 0: an entry that no cycle has filled.
inline const TRepoSum EmptyRepoSum{};

// What a cycle is rated by: its load moment (weight x reach) against the 100 %
// moment, or its weight alone against the 100 % weight.
enum class RatingBasis { Moment, Weight };

// Bounds of the lower classes: 75 %, 50 % and 25 % of the full scale, each
// rounded to the nearest integer with ties to the even one.
struct RatingBounds {
    std::int32_t bound75 = 0;
    std::int32_t bound50 = 0;
    std::int32_t bound25 = 0;

    bool operator==(const RatingBounds&) const = default;
};
[[nodiscard]] RatingBounds ComputeBounds(std::int32_t fullScale);

constexpr int LoadClassCount = 5;
constexpr int LatestCycleLimit = 10;
// Class names, heaviest first; LoadClassIndex() indexes this table.
inline constexpr std::array<const char*, LoadClassCount> LoadClassLabels = {">100%", "<100%",
                                                                            "<75%", "<50%", "<25%"};

// 0 for ">100%" (a value at the full scale counts there) ... 4 for "<25%". A
// value exactly at a bound belongs to the higher class.
[[nodiscard]] int LoadClassIndex(std::int32_t loadValue, std::int32_t fullScale);

// A summator slot never written since the last erase or reset: all 16 bytes
// 0xFF. It is no record at all, not even one without a cycle.
[[nodiscard]] bool BlankSumRecord(ReplyView record);

enum class RatingOutcome {
    Rated,     // a cycle, counted in its class
    NotCycle,  // weight or reach absent (0xFF): nothing counted
    Blank,     // an empty slot: nothing taken, not even the totals
    BadRecord, // the view does not hold a whole record: nothing changed
};

class LoadSpectrum {
public:
    LoadSpectrum();

    // Start of a readout: every entry empty, the class labels set, no cycle
    // rated yet. The totals and the oldest cycle are cleared as well, so that
    // nothing of an earlier readout can reach the next report.
    void Reset();

    // Rates one summator record. The view is the reply of the read: reply[k]
    // is data byte k (1..16) of the record. Records are expected newest first,
    // as the readout walks the memory backwards. fullScale is the 100 % value
    // of the chosen basis. A blank slot changes nothing.
    RatingOutcome Rating(ReplyView record, RatingBasis basis, std::int32_t fullScale);

    // Index 0 is ">100%" ... index 4 "<25%".
    [[nodiscard]] const std::array<TRepoSum, LoadClassCount>& LoadClasses() const {
        return loadClasses_;
    }
    // Index 0 is the newest rated cycle; entries beyond the rated ones stay
    // equal to EmptyRepoSum.
    [[nodiscard]] const std::array<TRepoSum, LatestCycleLimit>& LatestCycles() const {
        return latestCycles_;
    }
    // Next free ordinal of the newest-cycles list, 1 .. 11.
    [[nodiscard]] int LatestCount() const { return latestCount_; }

    // Whether the readout met any record that is not a blank slot. Without
    // one the totals are empty and the report has no data to give.
    [[nodiscard]] bool HasRecords() const { return hasRecords_; }

    // Operating hours, total weight and cycles of the newest record up to and
    // including the first rated one.
    [[nodiscard]] const QString& TotalHoursText() const { return totalHoursText_; }
    [[nodiscard]] const QString& TotalWeightText() const { return totalWeightText_; }
    [[nodiscard]] const QString& TotalCyclesText() const { return totalCyclesText_; }
    // "dd.mm.20yy hh:mm" of the oldest rated cycle; empty when none was rated.
    [[nodiscard]] const QString& OldestCycleText() const { return oldestCycleText_; }

private:
    std::array<TRepoSum, LoadClassCount> loadClasses_;
    std::array<TRepoSum, LatestCycleLimit> latestCycles_;
    int latestCount_ = 1;
    bool hasRecords_ = false;
    QString totalHoursText_;
    QString totalWeightText_;
    QString totalCyclesText_;
    QString oldestCycleText_;
};
