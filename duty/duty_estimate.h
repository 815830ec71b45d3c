#pragma once

#include "duty/duty_input.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The crane's actual duty by ISO 4301-1 from what the recorder holds, and the
// share of the nameplate group's design life used: an estimate for the
// expert of the industrial-safety review, never its conclusion. A figure
// that cannot be had is left empty and a reason says why.

enum class RateBasis {
    None,
    Commissioning, // the lifetime counter over the years since commissioning
    Cycles,        // the cycles taken over their own period
};

struct DutyEstimate {
    // The nameplate as read (trimmed texts) and what was made of it.
    QString ratedLoadText, groupText, lifeText, commissionedText;
    std::optional<double> ratedLoad;   // tonnes
    bool ratedLoadGiven = false;       // by the user, not the nameplate
    std::optional<int> nameplateGroup; // 1..8
    bool oldGroupMark = false;         // read from "1К".."8К"
    std::optional<int> lifeYears;
    std::optional<QDate> commissioned;
    QDateTime recorderClock;
    std::optional<std::uint32_t> cyclesTotal;
    std::optional<std::uint32_t> weightTotal;
    bool recordsWhole = true;

    // The cycles taken.
    int cycles = 0;           // all, with or without a weight
    int cyclesRated = 0;      // with a weight: those Kp is made of
    int cyclesNoWeight = 0;   // left out
    int overloads = 0;        // above the rated load
    QDateTime oldest, newest; // of the dated cycles
    std::optional<double> kp;
    std::optional<int> loadState; // 0..3: Q1..Q4
    bool kpAboveOne = false;

    // The counters' check: m = total weight / (total cycles × rated load);
    // the lifetime Kp lies in m³..m when no cycle exceeded the rated load.
    std::optional<double> meanLoad;
    std::optional<bool> kpInRange;

    std::optional<double> cyclesPerYear;
    RateBasis rateBasis = RateBasis::None;
    double rateYears = 0; // the years the rate was taken over
    std::optional<double> projectedCycles;
    std::optional<int> utilization; // 0..9: U0..U9
    std::optional<int> group;       // 1..8: the actual group

    std::optional<std::uint32_t> budget;    // of the nameplate group
    std::optional<double> equivalentCycles; // cycles × Kp so far
    std::optional<double> lifeUsed;         // a fraction
    std::optional<double> yearsLeft;

    QStringList reasons; // what could not be computed, and why
    QStringList notes;   // how to read what was computed
};

[[nodiscard]] DutyEstimate EstimateDuty(const DutyInput& input);

// "Q3", "U5", "A5"; empty for none.
[[nodiscard]] QString LoadStateName(const std::optional<int>& index);
[[nodiscard]] QString UtilizationName(const std::optional<int>& index);
[[nodiscard]] QString GroupName(const std::optional<int>& group);

// The line every presentation of the estimate carries.
[[nodiscard]] QString DutyDisclaimer();
