#pragma once

#include "duty/nameplate.h"

#include <QDateTime>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// What the duty estimate is made from, whoever read it: a summator readout,
// a memory image or the crane's archive. Plain values, so that any source
// can fill it.

// One reading of the total-cycle counter with its record's time (invalid
// when the record's date bytes make no date).
struct CounterSample {
    QDateTime time;
    std::uint32_t cycles = 0;
};

struct DutyInput {
    // The cycles taken: records that are cycles (weight or reach present),
    // as counts per weight in tonnes; [0xFF] counts the cycles without a
    // weight. Records with neither are left out. Counts rather than a list,
    // so that a fleet's years of history cost 2 KB a crane.
    std::array<std::uint64_t, 256> weightCounts{};
    // The oldest and the newest time among the dated cycles taken.
    QDateTime cyclesOldest, cyclesNewest;
    // The total-cycle counter in memory order, newest first: every record's
    // readable counter, or, from a source that cannot keep them all, at
    // least the newest, the oldest and both sides of every drop (a reset).
    std::vector<CounterSample> counters;
    // When the counters last started from zero as the recorder says (its
    // erase time); invalid when not read.
    QDateTime counterStart;
    // The lifetime counters: as the report takes them, from the newest
    // record down to the first one rated (weight and reach both present).
    std::optional<std::uint32_t> totalCycles;
    std::optional<std::uint32_t> totalWeight; // tonnes
    bool countersSettled = false;
    // The identification block as read; hasIdent false when it was not.
    IdentBytes ident{};
    bool hasIdent = false;
    // The recorder's clock as read in the readout (invalid when not).
    QDateTime recorderClock;
    // The rated load given by the user instead of the nameplate's.
    std::optional<double> ratedLoadGiven;
    // False when the records taken are not the whole memory (a readout cut
    // short, an image that lacks a record).
    bool recordsWhole = true;
};

// Takes one 16-byte summator record in readout order (newest first).
void TakeSumRecord(DutyInput& input, std::span<const std::uint8_t> record);

// Takes count cycles of one weight (0xFF: without a weight) dated time.
void TakeCycles(DutyInput& input, std::uint8_t weight, std::uint64_t count, const QDateTime& time);

// The cycles taken, with and without a weight.
[[nodiscard]] std::uint64_t CyclesTaken(const DutyInput& input);

// The recorder's clock from its text "dd.mm.20yy hh:mm", or from its five
// BCD bytes (minute, hour, day, month, year); invalid when no time.
[[nodiscard]] QDateTime ClockFromText(const QString& text);
[[nodiscard]] QDateTime ClockFromBytes(std::span<const std::uint8_t> bytes);
