#pragma once

#include "duty/duty_estimate.h"
#include "summary/run_summary.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class PgConnection;

// What the fleet page shows, taken from the fleet database by aggregate
// queries over the sums every push keeps (event_months, weight_cycles,
// counter_samples): a few rows per crane, never every record.

struct FleetCrane {
    QString key;
    QByteArray identification;
    QString name;                    // unique on the page (see CraneName)
    std::optional<qint64> lastVisit; // started, ms since 1970 UTC
    QString lastVisitBy;             // computer and user
    // Who sealed the newest sealed visit: user@computer and the key's id;
    // empty when no visit of it came with a seal.
    QString lastSealedBy;
    qint64 lastRead = 0; // the newest block pushed, ms since 1970 UTC
    KindCounts events{}; // of the last 12 calendar months, up to now
    // What the estimate is made from: the cycles per weight and the
    // counters, newest first, as the database holds them.
    DutyInput input;
    DutyEstimate duty;
};

struct FleetData {
    std::vector<FleetCrane> cranes; // those that need attention first
    // Events of the whole fleet in each of the last 12 months, by kind, the
    // oldest first: every month, also one without events.
    std::vector<std::pair<QDate, KindCounts>> eventsPerMonth;
};

// now: its month is the last of the 12 calendar months counted, and no event
// dated after it counts (the recorder's clock has no zone, so the local time
// of the page's making).
[[nodiscard]] bool QueryFleet(PgConnection& db, const QDateTime& now, FleetData& data,
                              QString& error);

// A crane's name: its type and index (field 1.1) and serial number (1.2) from
// the identification, "КС-45717К-1 № 0457"; the key's start when both are blank.
[[nodiscard]] QString CraneName(const QByteArray& identification, const QString& key);
// Names every crane so, with its key's start added to each name that two share.
void NameCranes(std::vector<FleetCrane>& cranes);

// Most urgent first: the share of life used (unknown last), then an actual
// group above the nameplate's, then the events of the last 12 months.
[[nodiscard]] bool NeedsAttentionFirst(const FleetCrane& a, const FleetCrane& b);
