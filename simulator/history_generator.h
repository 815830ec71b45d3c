#pragma once

#include "simulator/recorder_sim.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

class RecorderMemory;

// Fills a recorder's memory with a plausible working history: events of
// every kind with consistent relay, output and input states, summator
// records with growing totals, and an identification area. The same options
// give the same bytes; `newest` stands in for an invalid options.newest.
void GenerateHistory(RecorderMemory& memory, const GenerateOptions& options,
                     const QDateTime& newest);

// The recorder's history going on: events and summator records after the
// newest ones, written as the recorder writes them (the pointers moving on,
// wrapping, blanking each new page), the first at `from`, later ones minutes
// apart. The same seed gives the same records.
void AppendHistory(RecorderMemory& memory, int events, int sums, std::uint32_t seed,
                   const QDateTime& from, HistoryModel model = HistoryModel::Uniform);

// The same, dated as a recorder that was at work while nobody read it: after
// its newest record, the last at `until` (the recorder clock) at the latest;
// when the usual minutes apart would not fit in between, closer together.
void AppendHistoryUntil(RecorderMemory& memory, int events, int sums, std::uint32_t seed,
                        const QDateTime& until, HistoryModel model = HistoryModel::Uniform);

// The crane that MakeIdentification names: its rated load in tonnes and the
// reaches in metres its 21.7 m boom works at.
inline constexpr int CraneRatedLoad = 25;
inline constexpr int CraneMinReach = 3;
inline constexpr int CraneMaxReach = 20;

// cp1251 bytes of a text (Latin, Cyrillic and a few signs; others as '?').
QByteArray EncodeCp1251(const QString& text);

// The 360 bytes of a plausible identification area; fields padded with
// blanks or zero bytes.
QByteArray MakeIdentification(std::uint32_t seed);
