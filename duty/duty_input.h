#pragma once

#include "duty/nameplate.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// What the duty estimate is made from, whoever read it: a summator readout,
// a memory image or the crane's archive. Plain values, so that any source
// can fill it.

struct DutyCycle {
    std::uint8_t weight = 0xFF; // tonnes; 0xFF: the cycle has no weight
    QDateTime time;             // invalid when the record's date bytes make no date
};

struct DutyInput {
    // The cycles taken, newest first: records that are cycles (weight or
    // reach present); records with neither are left out.
    std::vector<DutyCycle> cycles;
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

// The recorder's clock from its text "dd.mm.20yy hh:mm", or from its five
// BCD bytes (minute, hour, day, month, year); invalid when no time.
[[nodiscard]] QDateTime ClockFromText(const QString& text);
[[nodiscard]] QDateTime ClockFromBytes(std::span<const std::uint8_t> bytes);
