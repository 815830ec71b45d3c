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

// Where the cycles a year are taken from, the best first.
enum class RateBasis {
    None,
    Counters,      // the counter's growth from the oldest to the newest record held
    CounterStart,  // the newest counter since its start (the erase time, a reset)
    Cycles,        // the cycles taken over their own period: no counter tells more
    Commissioning, // the newest counter over the years since commissioning: nothing
                   // else known
};

// Where the counted history begins; the years from commissioning up to it
// the crane worked, but nothing counted them.
enum class CountStart {
    None,
    EraseTime,     // the recorder's erase time: its counters started from zero
    Installation,  // field 2.6, the recorder's installation on the crane
    Commissioning, // nothing else known: taken as counted since commissioning
};

// Which limit the years left come from.
enum class YearsBinding { None, Calendar, Cycles };

// The service life taken where the nameplate gives none (116-ФЗ, art. 7).
inline constexpr int DefaultServiceLifeYears = 20;
// The factor on the design rate for years of unknown duty (as ISO 12482
// takes it; applied by analogy, that standard leaves mobile cranes out).
inline constexpr double UnknownDutyFactor = 1.5;
// Years left beyond this are shown as "more than".
inline constexpr double YearsLeftShown = 100.0;

struct DutyEstimate {
    // The nameplate as read (trimmed texts) and what was made of it.
    QString ratedLoadText, groupText, lifeText, commissionedText;
    std::optional<double> ratedLoad;   // tonnes
    bool ratedLoadGiven = false;       // by the user, not the nameplate
    std::optional<int> nameplateGroup; // 1..8
    bool oldGroupMark = false;         // read from "1К".."8К"
    std::optional<int> lifeYears;
    std::optional<QDate> commissioned;
    std::optional<QDate> recorderInstalled; // field 2.6, when after commissioning
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

    // The calendar: the normative service life (the nameplate's, or the
    // default where it gives none) from commissioning, against the
    // recorder's clock.
    std::optional<int> calendarLifeYears;
    bool lifeDefaulted = false; // the nameplate gives no service life
    std::optional<QDate> lifeEnd;
    bool lifeExpired = false;
    std::optional<double> calendarYearsLeft;

    std::optional<double> cyclesPerYear;
    RateBasis rateBasis = RateBasis::None;
    double rateYears = 0;         // the years the rate was taken over
    std::uint64_t rateCycles = 0; // the cycles it was taken from
    QDateTime rateFrom, rateTo;   // ... and their period
    int counterResets = 0;        // drops of the counter between two records

    // The counted history: the newest counter plus what the counter held
    // before each reset, counted since countedFrom.
    std::optional<std::uint64_t> countedCycles;
    CountStart countStart = CountStart::None;
    QDateTime countedFrom;
    // The years from commissioning to countedFrom, taken at the nameplate
    // group's design rate × UnknownDutyFactor.
    double assumedYears = 0;
    std::optional<double> assumedEquivalent;
    std::optional<double> projectedCycles;
    std::optional<int> utilization; // 0..9: U0..U9
    std::optional<int> group;       // 1..8: the actual group

    std::optional<std::uint32_t> budget;    // of the nameplate group
    std::optional<double> equivalentCycles; // counted cycles × Kp
    std::optional<double> lifeUsedCounted;  // a fraction: the counted share
    std::optional<double> lifeUsedAssumed;  // ... the years without counts
    std::optional<double> lifeUsed;         // ... both
    std::optional<double> cycleYearsLeft;   // by the group's budget at the rate
    std::optional<double> yearsLeft;        // the smaller of it and the calendar's
    YearsBinding yearsBinding = YearsBinding::None;

    QStringList reasons; // what could not be computed, and why
    QStringList notes;   // how to read what was computed
};

[[nodiscard]] DutyEstimate EstimateDuty(const DutyInput& input);

// "Q3", "U5", "A5"; empty for none.
[[nodiscard]] QString LoadStateName(const std::optional<int>& index);
[[nodiscard]] QString UtilizationName(const std::optional<int>& index);
[[nodiscard]] QString GroupName(const std::optional<int>& group);

// The calendar life in one line, the first a reader sees: "Нормативный
// срок службы истек 14.04.2021: требуется экспертиза промышленной
// безопасности", or when it ends; empty without a date of commissioning.
[[nodiscard]] QString CalendarLifeText(const DutyEstimate& estimate);

// The line every presentation of the estimate carries.
[[nodiscard]] QString DutyDisclaimer();
