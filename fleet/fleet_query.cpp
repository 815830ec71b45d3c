#include "fleet/fleet_query.h"

#include "decoding/ident_text.h"
#include "fleet/pg_connection.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

int Total(const KindCounts& k) {
    int n = 0;
    for (int v : k)
        n += v;
    return n;
}

// Times come as to_char(..., TimeFormat) text, whatever the session's DateStyle.
constexpr const char* TimeFormat = "'YYYY-MM-DD HH24:MI'";

// Read by hand: QDateTime::fromString takes most of a large fleet's page.
QDateTime Time(const QString& text) {
    if (text.size() != 16 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-') ||
        text[10] != QLatin1Char(' ') || text[13] != QLatin1Char(':'))
        return {};
    bool ok[5] = {};
    const int year = QStringView(text).mid(0, 4).toInt(&ok[0]);
    const int month = QStringView(text).mid(5, 2).toInt(&ok[1]);
    const int day = QStringView(text).mid(8, 2).toInt(&ok[2]);
    const int hour = QStringView(text).mid(11, 2).toInt(&ok[3]);
    const int minute = QStringView(text).mid(14, 2).toInt(&ok[4]);
    for (const bool b : ok)
        if (!b)
            return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute);
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

QString Sql(const char* text) {
    return QString::fromLatin1(text).replace(QStringLiteral("%T"), QString::fromLatin1(TimeFormat));
}

// The cycles of one weight (tonnes, 0xFF for none) dated by the oldest and
// the newest of them: the estimate needs only their span.
void AddCycles(DutyInput& in, std::uint8_t weight, qint64 count, const QDateTime& oldest,
               const QDateTime& newest) {
    if (count <= 0)
        return;
    TakeCycles(in, weight, 1, oldest);
    TakeCycles(in, weight, std::uint64_t(count - 1), newest);
}

} // namespace

QString CraneName(const QByteArray& identification, const QString& key) {
    const QString type = IdentText(identification, 1, 20).simplified();
    const QString serial = IdentText(identification, 21, 20).simplified();
    if (type.isEmpty() && serial.isEmpty())
        return key.left(12);
    if (serial.isEmpty())
        return type;
    return type.isEmpty() ? QStringLiteral("№ ") + serial : type + QStringLiteral(" № ") + serial;
}

void NameCranes(std::vector<FleetCrane>& cranes) {
    std::map<QString, int> uses;
    for (FleetCrane& c : cranes) {
        c.name = CraneName(c.identification, c.key);
        ++uses[c.name];
    }
    for (FleetCrane& c : cranes)
        if (uses[c.name] > 1)
            c.name += QStringLiteral(" (") + c.key.left(12) + QLatin1Char(')');
}

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
    // The 12 calendar months that end with now's month, the last of them up
    // to now: a recorder clock ahead of it dates nothing into them.
    const QDate thisMonth(now.date().year(), now.date().month(), 1);
    const QByteArray since = thisMonth.addMonths(-11).toString(Qt::ISODate).toLatin1();
    const QByteArray monthStart = thisMonth.toString(Qt::ISODate).toLatin1();
    const QByteArray until = now.toString(QStringLiteral("yyyy-MM-dd hh:mm")).toLatin1();
    for (int m = 11; m >= 0; --m)
        data.eventsPerMonth.push_back({thisMonth.addMonths(-m), KindCounts{}});
    auto query = [&](const QString& sql, const std::vector<QByteArray>& p = {}) {
        PgConnection::Result r = db.Exec(sql, p);
        if (!r.ok)
            error = db.Error();
        return r;
    };
    // One snapshot for every figure of the page.
    if (!query(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")).ok)
        return false;
    const bool ok = [&] {
        const auto cranes =
            query(Sql("SELECT c.id, c.key, encode(c.identification, 'hex'), v.started, "
                      "v.computer, v.user_name, c.last_read, to_char(c.erased, %T), "
                      "s.sealed_by, s.key_id FROM zorvan.cranes c LEFT JOIN LATERAL (SELECT "
                      "started, computer, user_name FROM zorvan.visits WHERE crane = c.id ORDER "
                      "BY started DESC LIMIT 1) v ON true LEFT JOIN LATERAL (SELECT "
                      "s.sealed_by, s.key_id FROM zorvan.visit_seals s JOIN zorvan.visits sv ON "
                      "sv.id = s.visit WHERE sv.crane = c.id ORDER BY sv.started DESC LIMIT 1) s "
                      "ON true"));
        if (!cranes.ok)
            return false;
        std::map<QString, std::size_t> at;
        data.cranes.reserve(cranes.rows.size());
        for (const auto& row : cranes.rows) {
            FleetCrane c;
            c.key = row[1];
            c.identification = QByteArray::fromHex(row[2].toLatin1());
            if (!row[3].isNull()) {
                c.lastVisit = row[3].toLongLong();
                c.lastVisitBy = row[4] + QLatin1Char('/') + row[5];
            }
            c.lastRead = row[6].toLongLong();
            if (!row[8].isNull())
                c.lastSealedBy = row[8] + QStringLiteral(", ключ ") + row[9];
            DutyInput& in = c.input;
            if (c.identification.size() == qsizetype(in.ident.size())) {
                std::memcpy(in.ident.data(), c.identification.constData(), in.ident.size());
                in.hasIdent = true;
            }
            in.counterStart = Time(row[7]);
            at[row[0]] = data.cranes.size();
            data.cranes.push_back(std::move(c));
        }
        // The months before now's from the sums, now's own month from the
        // records up to now; summed per crane and per month in one pass.
        const auto events = query(
            QStringLiteral(
                "SELECT crane, to_char(month, 'YYYY-MM-DD'), reason, sum(n) FROM (SELECT crane, "
                "month, reason, records AS n FROM zorvan.event_months WHERE month >= $1::date AND "
                "month < $2::date UNION ALL SELECT crane, $2::date, reason, 1 FROM "
                "zorvan.event_records WHERE time >= $2::date AND time <= $3::timestamp) e GROUP BY "
                "GROUPING SETS ((crane, reason), (month, reason))"),
            {since, monthStart, until});
        if (!events.ok)
            return false;
        for (const auto& row : events.rows) {
            const auto kind = std::size_t(EventKindOf(std::uint8_t(row[2].toInt())));
            const int count = row[3].toInt();
            if (!row[0].isNull()) {
                data.cranes[at[row[0]]].events[kind] += count;
                continue;
            }
            const QDate month = QDate::fromString(row[1], Qt::ISODate);
            for (auto& [m, counts] : data.eventsPerMonth)
                if (m == month)
                    counts[kind] += count;
        }
        const auto weights =
            query(Sql("SELECT crane, weight, cycles, to_char(oldest, %T), to_char(newest, %T) "
                      "FROM zorvan.weight_cycles"));
        if (!weights.ok)
            return false;
        for (const auto& row : weights.rows)
            AddCycles(data.cranes[at[row[0]]].input, std::uint8_t(row[1].toInt()),
                      row[2].toLongLong(), Time(row[3]), Time(row[4]));
        // The lifetime counters of the newest rated record in the recorder's
        // order, as a readout takes them.
        const auto totals = query(QStringLiteral(
            "SELECT c.id, s.total_cycles, s.total_weight FROM zorvan.cranes c CROSS JOIN "
            "LATERAL (SELECT total_cycles, total_weight FROM zorvan.sum_records WHERE crane = "
            "c.id AND weight IS NOT NULL AND reach IS NOT NULL ORDER BY seq DESC LIMIT 1) s"));
        if (!totals.ok)
            return false;
        for (const auto& row : totals.rows) {
            DutyInput& in = data.cranes[at[row[0]]].input;
            if (!row[1].isNull())
                in.totalCycles = row[1].toUInt();
            if (!row[2].isNull())
                in.totalWeight = row[2].toUInt();
            in.countersSettled = true;
        }
        const auto samples = query(Sql("SELECT crane, to_char(time, %T), cycles FROM "
                                       "zorvan.counter_samples ORDER BY crane, seq DESC"));
        if (!samples.ok)
            return false;
        for (const auto& row : samples.rows)
            data.cranes[at[row[0]]].input.counters.push_back({Time(row[1]), row[2].toUInt()});
        for (std::size_t i = 0; i < data.cranes.size(); ++i)
            data.cranes[i].duty = EstimateDuty(data.cranes[i].input);
        return true;
    }();
    db.Exec(QStringLiteral("ROLLBACK"));
    if (!ok)
        data = FleetData();
    NameCranes(data.cranes);
    std::sort(data.cranes.begin(), data.cranes.end(), NeedsAttentionFirst);
    return ok;
}
