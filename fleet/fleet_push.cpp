#include "fleet/fleet_push.h"

#include "fleet/pg_connection.h"

#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

namespace {

constexpr int MaxAttempts = 6;
constexpr int VisitsPerInsert = 500;

const char* const Staging[] = {
    "CREATE TEMP TABLE IF NOT EXISTS push_events (address integer, bytes bytea, time timestamp,"
    " reason smallint, weight smallint, reach smallint, first_read bigint, last_read bigint,"
    " com_port integer) ON COMMIT DELETE ROWS",
    "CREATE TEMP TABLE IF NOT EXISTS push_sums (address integer, bytes bytea, time timestamp,"
    " weight smallint, reach smallint, total_weight integer, total_cycles integer,"
    " first_read bigint, last_read bigint, com_port integer) ON COMMIT DELETE ROWS",
};

enum class Outcome { Done, Retry, Failed, Stopped };

QByteArray Num(qint64 v) {
    return QByteArray::number(v);
}

// Never a null array: that would be SQL NULL.
QByteArray Text(const QString& s) {
    QByteArray b = s.toUtf8();
    return b.isNull() ? QByteArray("") : b;
}

bool InsertVisits(PgConnection& db, const QByteArray& crane, const std::vector<PushVisit>& visits,
                  PushTally& tally) {
    for (std::size_t from = 0; from < visits.size(); from += VisitsPerInsert) {
        const std::size_t to = std::min(visits.size(), from + VisitsPerInsert);
        QString sql = QStringLiteral("INSERT INTO visits (crane, started, computer, user_name, "
                                     "com_port, memory, outcome) VALUES ");
        std::vector<QByteArray> p;
        for (std::size_t i = from; i < to; ++i) {
            const PushVisit& v = visits[i];
            if (p.empty())
                p.push_back(crane); // $1, shared by every row
            const int n = int(p.size());
            sql += QStringLiteral("%1($1,$%2,$%3,$%4,$%5,$%6,$%7)")
                       .arg(i == from ? QString() : QStringLiteral(","))
                       .arg(n + 1)
                       .arg(n + 2)
                       .arg(n + 3)
                       .arg(n + 4)
                       .arg(n + 5)
                       .arg(n + 6);
            p.push_back(Num(v.started));
            p.push_back(Text(v.computer));
            p.push_back(Text(v.userName));
            p.push_back(Num(v.comPort));
            p.push_back(v.memory ? Num(*v.memory) : QByteArray());
            p.push_back(v.outcome.isNull() ? QByteArray() : Text(v.outcome));
        }
        // A visit pushed while it was under way gets its memory and outcome later.
        sql += QStringLiteral(" ON CONFLICT (crane, started, computer, user_name, com_port) DO "
                              "UPDATE SET memory = coalesce(excluded.memory, visits.memory), "
                              "outcome = coalesce(excluded.outcome, visits.outcome) WHERE "
                              "(visits.memory IS NULL AND excluded.memory IS NOT NULL) OR "
                              "(visits.outcome IS NULL AND excluded.outcome IS NOT NULL)");
        const PgConnection::Result r = db.Exec(sql, p);
        if (!r.ok)
            return false;
        tally.visitsAdded += r.affected;
    }
    return true;
}

bool CopyRecords(PgConnection& db, const QByteArray& crane, const std::vector<PushRecord>& records,
                 bool events, qint64& added) {
    if (records.empty())
        return true;
    QByteArray data;
    data.reserve(qsizetype(records.size()) * (events ? 72 : 90));
    for (const PushRecord& r : records)
        (events ? AppendEventLine : AppendSumLine)(data, r);
    const QString staging = events ? QStringLiteral("push_events") : QStringLiteral("push_sums");
    if (!db.CopyIn(QStringLiteral("COPY %1 FROM STDIN").arg(staging), data))
        return false;
    const QString columns =
        events ? QStringLiteral("address, bytes, time, reason, weight, reach, first_read, "
                                "last_read, com_port")
               : QStringLiteral("address, bytes, time, weight, reach, total_weight, "
                                "total_cycles, first_read, last_read, com_port");
    // The records new to the database, and the sums of exactly those.
    const QString sums =
        events
            ? QStringLiteral("INSERT INTO event_months SELECT $1, date_trunc('month', time)::date, "
                             "reason, count(*) FROM added WHERE time IS NOT NULL GROUP BY 2, 3 ON "
                             "CONFLICT (crane, month, reason) DO UPDATE SET records = "
                             "event_months.records + excluded.records")
            : QStringLiteral(
                  "INSERT INTO sum_cycles SELECT $1, coalesce(extract(year FROM time)::int, "
                  "0), coalesce(weight, 255), count(*), min(time), max(time) FROM added WHERE "
                  "weight IS NOT NULL OR reach IS NOT NULL GROUP BY 2, 3 ON CONFLICT (crane, "
                  "year, weight) DO UPDATE SET cycles = sum_cycles.cycles + excluded.cycles, "
                  "oldest = least(sum_cycles.oldest, excluded.oldest), newest = "
                  "greatest(sum_cycles.newest, excluded.newest)");
    const PgConnection::Result r = db.Exec(
        QStringLiteral("WITH added AS (INSERT INTO %1 (crane, %2) SELECT $1, %2 FROM %3 ON "
                       "CONFLICT DO NOTHING RETURNING time, %4), summed AS (%5) SELECT count(*) "
                       "FROM added")
            .arg(events ? QStringLiteral("event_records") : QStringLiteral("sum_records"), columns,
                 staging, events ? QStringLiteral("reason") : QStringLiteral("weight, reach"),
                 sums),
        {crane});
    if (!r.ok)
        return false;
    added += r.Value(0, 0).toLongLong();
    return db.Exec(QStringLiteral("TRUNCATE %1").arg(staging)).ok;
}

Outcome Attempt(PgConnection& db, CraneSource& cranes, PushTally& tally,
                const std::function<bool()>& stop) {
    db.SetInterrupt(stop);
    const auto failure = [&db] {
        return RetryableSqlState(db.SqlState()) ? Outcome::Retry : Outcome::Failed;
    };
    if (!db.Exec(QStringLiteral("BEGIN")).ok)
        return failure();
    for (const char* sql : Staging)
        if (!db.Exec(QString::fromLatin1(sql)).ok)
            return failure();
    cranes.Rewind();
    PushCrane c;
    while (cranes.Next(c)) {
        if (stop && stop())
            return Outcome::Stopped;
        // The crane's row, locked to the end: its records go in under this lock.
        const PgConnection::Result row = db.Exec(
            QStringLiteral("INSERT INTO cranes (key, identification, first_read, last_read) "
                           "VALUES ($1, $2, $3, $4) ON CONFLICT (key) DO UPDATE SET "
                           "first_read = least(cranes.first_read, excluded.first_read), "
                           "last_read = greatest(cranes.last_read, excluded.last_read) "
                           "RETURNING id"),
            {c.key.toUtf8(), ByteaHex(c.identification), Num(c.firstRead), Num(c.lastRead)});
        if (!row.ok)
            return failure();
        const QByteArray id = row.Value(0, 0).toLatin1();
        if (!InsertVisits(db, id, c.visits, tally) ||
            !CopyRecords(db, id, c.events, true, tally.eventsAdded) ||
            !CopyRecords(db, id, c.sums, false, tally.sumsAdded))
            return failure();
        ++tally.cranes;
        tally.eventsSent += qint64(c.events.size());
        tally.sumsSent += qint64(c.sums.size());
    }
    if (!cranes.Error().isEmpty())
        return Outcome::Failed;
    if (stop && stop())
        return Outcome::Stopped;
    // A commit once asked for is never cancelled: it is told as it ended.
    db.SetInterrupt({});
    if (!db.Exec(QStringLiteral("COMMIT")).ok)
        return failure();
    return Outcome::Done;
}

} // namespace

bool PushCranes(PgConnection& db, CraneSource& cranes, PushTally& tally, QString& error,
                const std::function<bool()>& stop) {
    for (int attempt = 1;; ++attempt) {
        tally = PushTally();
        tally.attempts = attempt;
        const Outcome outcome = Attempt(db, cranes, tally, stop);
        if (outcome == Outcome::Done)
            return true;
        if (outcome == Outcome::Stopped)
            error = QStringLiteral("interrupted");
        else
            error = cranes.Error().isEmpty() ? db.Error() : cranes.Error();
        // Never cancelled: the rollback is what Ctrl+C asked for.
        db.SetInterrupt({});
        db.Exec(QStringLiteral("ROLLBACK"));
        if (outcome != Outcome::Retry || attempt == MaxAttempts)
            return false;
        // Apart again before the next try, by a random while.
        QThread::msleep(50 * attempt + QRandomGenerator::global()->bounded(100));
    }
}

bool PushCranes(PgConnection& db, std::vector<PushCrane> cranes, PushTally& tally, QString& error,
                const std::function<bool()>& stop) {
    CraneList list(std::move(cranes));
    return PushCranes(db, list, tally, error, stop);
}
