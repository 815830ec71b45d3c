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
    "CREATE TEMP TABLE IF NOT EXISTS push_sums (ord bigint, address integer, bytes bytea,"
    " time timestamp, weight smallint, reach smallint, total_weight integer,"
    " total_cycles integer, first_read bigint, last_read bigint, com_port integer)"
    " ON COMMIT DELETE ROWS",
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
        QString sql = QStringLiteral(
            "INSERT INTO zorvan.visits AS visits (crane, started, computer, user_name, "
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
    // A visit's seal once: the first one pushed is the one signed then.
    for (const PushVisit& v : visits) {
        if (!v.seal)
            continue;
        const PushSeal& seal = *v.seal;
        const PgConnection::Result r = db.Exec(
            QStringLiteral("INSERT INTO zorvan.visit_seals (visit, key_id, sealed_by, "
                           "public_key, manifest, signature) SELECT id, $6, $7, $8, $9, $10 "
                           "FROM zorvan.visits WHERE crane = $1 AND started = $2 AND computer "
                           "= $3 AND user_name = $4 AND com_port = $5 ON CONFLICT (visit) DO "
                           "NOTHING"),
            {crane, Num(v.started), Text(v.computer), Text(v.userName), Num(v.comPort),
             Text(seal.keyId), Text(seal.sealedBy), seal.publicKey, seal.manifest, seal.signature});
        if (!r.ok)
            return false;
    }
    return true;
}

bool CopyEvents(PgConnection& db, const QByteArray& crane, const std::vector<PushRecord>& records,
                qint64& added) {
    if (records.empty())
        return true;
    QByteArray data;
    data.reserve(qsizetype(records.size()) * 72);
    for (const PushRecord& r : records)
        AppendEventLine(data, r);
    if (!db.CopyIn(QStringLiteral("COPY push_events FROM STDIN"), data))
        return false;
    // The records new to the database, and the sums of exactly those.
    const PgConnection::Result r = db.Exec(
        QStringLiteral(
            "WITH added AS (INSERT INTO zorvan.event_records (crane, address, bytes, time, "
            "reason, weight, reach, first_read, last_read, com_port) SELECT $1::bigint, "
            "address, bytes, time, reason, weight, reach, first_read, last_read, com_port FROM "
            "push_events ON CONFLICT DO NOTHING RETURNING time, reason), summed AS (INSERT INTO "
            "zorvan.event_months AS m SELECT $1::bigint, date_trunc('month', time)::date, "
            "reason, count(*) FROM added WHERE time IS NOT NULL GROUP BY 2, 3 ON CONFLICT "
            "(crane, month, reason) DO UPDATE SET records = m.records + excluded.records) "
            "SELECT count(*) FROM added"),
        {crane});
    if (!r.ok)
        return false;
    added += r.Value(0, 0).toLongLong();
    return db.Exec(QStringLiteral("TRUNCATE push_events")).ok;
}

// The summator records take their places after every record of the crane the
// database holds (base): a later push's new records are newer. The counter's
// samples gain the newest of them and both sides of every drop, the crane's
// newest sample before the push included.
bool CopySums(PgConnection& db, const QByteArray& crane, qint64 base,
              const std::vector<PushRecord>& records, qint64& added) {
    if (records.empty())
        return true;
    QByteArray data;
    data.reserve(qsizetype(records.size()) * 96);
    std::int64_t order = 0;
    for (const PushRecord& r : records)
        AppendSumLine(data, r, ++order);
    if (!db.CopyIn(QStringLiteral("COPY push_sums FROM STDIN"), data))
        return false;
    const PgConnection::Result r = db.Exec(
        QStringLiteral(
            "WITH added AS (INSERT INTO zorvan.sum_records (crane, seq, address, bytes, time, "
            "weight, reach, total_weight, total_cycles, first_read, last_read, com_port) SELECT "
            "$1::bigint, $2::bigint + ord, address, bytes, time, weight, reach, total_weight, "
            "total_cycles, first_read, last_read, com_port FROM push_sums ORDER BY ord ON "
            "CONFLICT DO NOTHING RETURNING seq, time, weight, reach, total_cycles), "
            "summed AS (INSERT INTO zorvan.weight_cycles AS s SELECT $1::bigint, "
            "coalesce(weight, 255), count(*), min(time), max(time) FROM added WHERE weight IS "
            "NOT NULL OR reach IS NOT NULL GROUP BY 2 ON CONFLICT (crane, weight) DO UPDATE SET "
            "cycles = s.cycles + "
            "excluded.cycles, oldest = least(s.oldest, excluded.oldest), newest = "
            "greatest(s.newest, excluded.newest)), "
            "run AS (SELECT * FROM (SELECT seq, time, cycles FROM zorvan.counter_samples WHERE "
            "crane = $1::bigint ORDER BY seq DESC LIMIT 1) newest UNION ALL SELECT seq, time, "
            "total_cycles FROM added WHERE total_cycles IS NOT NULL), "
            "sampled AS (INSERT INTO zorvan.counter_samples SELECT $1::bigint, seq, time, cycles "
            "FROM (SELECT seq, time, cycles, lag(cycles) OVER w AS before, lead(cycles) OVER w "
            "AS after FROM run WINDOW w AS (ORDER BY seq)) m WHERE before IS NULL OR after IS "
            "NULL OR cycles < before OR after < cycles ON CONFLICT DO NOTHING) "
            "SELECT count(*) FROM added"),
        {crane, Num(base)});
    if (!r.ok)
        return false;
    added += r.Value(0, 0).toLongLong();
    return db.Exec(QStringLiteral("UPDATE zorvan.cranes SET sum_seq = $2::bigint WHERE id = "
                                  "$1::bigint"),
                   {crane, Num(base + qint64(records.size()))})
               .ok &&
           db.Exec(QStringLiteral("TRUNCATE push_sums")).ok;
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
        // The erase time of the newest read is the one that goes with the
        // newest records.
        const QByteArray erased = TimestampText(c.erased);
        const PgConnection::Result row = db.Exec(
            QStringLiteral("INSERT INTO zorvan.cranes AS c (key, identification, first_read, "
                           "last_read, erased) VALUES ($1, $2, $3, $4, $5::timestamp) ON "
                           "CONFLICT (key) DO UPDATE SET first_read = least(c.first_read, "
                           "excluded.first_read), last_read = greatest(c.last_read, "
                           "excluded.last_read), erased = CASE WHEN excluded.last_read >= "
                           "c.last_read THEN coalesce(excluded.erased, c.erased) ELSE "
                           "coalesce(c.erased, excluded.erased) END RETURNING id, sum_seq"),
            {c.key.toUtf8(), ByteaHex(c.identification), Num(c.firstRead), Num(c.lastRead),
             erased.isEmpty() ? QByteArray() : erased});
        if (!row.ok)
            return failure();
        const QByteArray id = row.Value(0, 0).toLatin1();
        if (!InsertVisits(db, id, c.visits, tally) ||
            !CopyEvents(db, id, c.events, tally.eventsAdded) ||
            !CopySums(db, id, row.Value(0, 1).toLongLong(), c.sums, tally.sumsAdded))
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
