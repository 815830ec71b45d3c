#include "fleet/fleet_query.h"

#include "fleet/pg_connection.h"

#include <algorithm>
#include <cstring>

namespace {

int Total(const KindCounts& k) {
    int n = 0;
    for (int v : k)
        n += v;
    return n;
}

QDateTime Time(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// The cycles of one weight (tonnes, 0xFF for none) dated by the oldest and
// the newest of them: the estimate needs only their span.
void AddCycles(DutyInput& in, std::uint8_t weight, int count, const QDateTime& oldest,
               const QDateTime& newest) {
    if (count <= 0)
        return;
    TakeCycles(in, weight, 1, oldest);
    TakeCycles(in, weight, std::uint64_t(count - 1), newest);
}

} // namespace

bool NeedsAttentionFirst(const FleetCrane& a, const FleetCrane& b) {
    const double la = a.duty.lifeUsed.value_or(-1), lb = b.duty.lifeUsed.value_or(-1);
    if (la != lb)
        return la > lb;
    auto over = [](const FleetCrane& c) {
        return c.duty.group && c.duty.nameplateGroup && *c.duty.group > *c.duty.nameplateGroup;
    };
    if (over(a) != over(b))
        return over(a);
    if (Total(a.events) != Total(b.events))
        return Total(a.events) > Total(b.events);
    return a.key < b.key;
}

bool QueryFleet(PgConnection& db, const QDateTime& now, FleetData& data, QString& error) {
    data = FleetData();
    // The 12 calendar months that end with now's month; a recorder clock
    // ahead of it dates nothing into them.
    const QDate thisMonth(now.date().year(), now.date().month(), 1);
    const QByteArray since = thisMonth.addMonths(-11).toString(Qt::ISODate).toLatin1();
    const QByteArray until = thisMonth.addMonths(1).toString(Qt::ISODate).toLatin1();
    auto query = [&](const char* sql, const std::vector<QByteArray>& p = {}) {
        PgConnection::Result r = db.Exec(QString::fromLatin1(sql), p);
        if (!r.ok)
            error = db.Error();
        return r;
    };
    // One snapshot for every figure of the page.
    if (!query("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").ok)
        return false;
    const bool ok = [&] {
        const auto cranes = query(
            "SELECT c.id, c.key, encode(c.identification, 'hex'), v.started, v.computer, "
            "v.user_name FROM cranes c LEFT JOIN LATERAL (SELECT started, computer, user_name "
            "FROM visits WHERE crane = c.id ORDER BY started DESC LIMIT 1) v ON true");
        if (!cranes.ok)
            return false;
        std::map<QString, std::size_t> at;
        std::vector<DutyInput> inputs(cranes.rows.size());
        for (const auto& row : cranes.rows) {
            FleetCrane c;
            c.key = row[1];
            c.identification = QByteArray::fromHex(row[2].toLatin1());
            if (!row[3].isNull()) {
                c.lastVisit = row[3].toLongLong();
                c.lastVisitBy = row[4] + QLatin1Char('/') + row[5];
            }
            DutyInput& in = inputs[data.cranes.size()];
            if (c.identification.size() == qsizetype(in.ident.size())) {
                std::memcpy(in.ident.data(), c.identification.constData(), in.ident.size());
                in.hasIdent = true;
            }
            at[row[0]] = data.cranes.size();
            data.cranes.push_back(std::move(c));
        }
        const auto events = query("SELECT crane, reason, sum(records) FROM event_months WHERE "
                                  "month >= $1::date AND month < $2::date GROUP BY crane, reason",
                                  {since, until});
        if (!events.ok)
            return false;
        for (const auto& row : events.rows)
            data.cranes[at[row[0]]]
                .events[std::size_t(EventKindOf(std::uint8_t(row[1].toInt())))] += row[2].toInt();
        const auto years = query("SELECT crane, year, sum(cycles) FROM sum_cycles WHERE year > 0 "
                                 "GROUP BY 1, 2");
        if (!years.ok)
            return false;
        for (const auto& row : years.rows)
            data.cranes[at[row[0]]].cyclesPerYear[row[1].toInt()] = row[2].toInt();
        const auto weights = query("SELECT crane, weight, sum(cycles), min(oldest), max(newest) "
                                   "FROM sum_cycles GROUP BY 1, 2");
        if (!weights.ok)
            return false;
        for (const auto& row : weights.rows)
            AddCycles(inputs[at[row[0]]], std::uint8_t(row[1].toInt()), row[2].toInt(),
                      Time(row[3]), Time(row[4]));
        // The counters of the newest rated record, as a readout takes them.
        const auto counters =
            query("SELECT c.id, s.total_cycles, s.total_weight FROM cranes c CROSS JOIN LATERAL "
                  "(SELECT total_cycles, total_weight FROM sum_records WHERE crane = c.id AND "
                  "weight IS NOT NULL AND reach IS NOT NULL ORDER BY time DESC NULLS LAST LIMIT "
                  "1) s");
        if (!counters.ok)
            return false;
        for (const auto& row : counters.rows) {
            DutyInput& in = inputs[at[row[0]]];
            if (!row[1].isNull())
                in.totalCycles = row[1].toUInt();
            if (!row[2].isNull())
                in.totalWeight = row[2].toUInt();
            in.countersSettled = true;
        }
        for (std::size_t i = 0; i < data.cranes.size(); ++i)
            data.cranes[i].duty = EstimateDuty(inputs[i]);
        const auto months = query("SELECT to_char(month, 'YYYY-MM-DD'), reason, sum(records) "
                                  "FROM event_months WHERE month >= $1::date AND month < $2::date "
                                  "GROUP BY 1, 2 ORDER BY 1",
                                  {since, until});
        if (!months.ok)
            return false;
        for (const auto& row : months.rows) {
            const QDate month = QDate::fromString(row[0], QStringLiteral("yyyy-MM-dd"));
            if (data.eventsPerMonth.empty() || data.eventsPerMonth.back().first != month)
                data.eventsPerMonth.push_back({month, KindCounts{}});
            data.eventsPerMonth.back()
                .second[std::size_t(EventKindOf(std::uint8_t(row[1].toInt())))] += row[2].toInt();
        }
        return true;
    }();
    db.Exec(QStringLiteral("ROLLBACK"));
    if (!ok)
        data = FleetData();
    std::sort(data.cranes.begin(), data.cranes.end(), NeedsAttentionFirst);
    return ok;
}
