#pragma once

#include "duty/duty_estimate.h"
#include "summary/run_summary.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <map>
#include <optional>
#include <vector>

class PgConnection;

// What the fleet page shows, taken from the fleet database by aggregate
// queries over the sums every push keeps (event_months, sum_cycles): a few
// rows per crane, never every record.

struct FleetCrane {
    QString key;
    QByteArray identification;
    std::optional<qint64> lastVisit; // started, ms since 1970 UTC
    QString lastVisitBy;             // computer and user
    KindCounts events{};             // of the last 12 calendar months
    std::map<int, int> cyclesPerYear;
    DutyEstimate duty; // from every distinct cycle the database holds
};

struct FleetData {
    std::vector<FleetCrane> cranes; // those that need attention first
    // Events of the whole fleet per month of the last 12 months, by kind.
    std::vector<std::pair<QDate, KindCounts>> eventsPerMonth;
};

// now: its month is the last of the 12 calendar months counted (the
// recorder's clock has no zone, so the local time of the page's making).
[[nodiscard]] bool QueryFleet(PgConnection& db, const QDateTime& now, FleetData& data,
                              QString& error);

// Most urgent first: the share of life used (unknown last), then an actual
// group above the nameplate's, then the events of the last 12 months.
[[nodiscard]] bool NeedsAttentionFirst(const FleetCrane& a, const FleetCrane& b);
