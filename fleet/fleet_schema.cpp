#include "fleet/fleet_schema.h"

#include "fleet/pg_connection.h"

#include <iterator>
#include <optional>
#include <vector>

namespace {

// Taken for the making and changing of the tables only: any number fixed for
// this program.
constexpr const char* SchemaLock = "SELECT pg_advisory_xact_lock(74210001)";

// The tables version 1 made, then in the schema "public".
const char* const FirstTables[] = {
    "schema_version", "cranes",       "visits",     "event_records",
    "sum_records",    "event_months", "sum_cycles",
};

// Each migration takes the tables from the version before it to its own.
const std::vector<const char*> Migrations[] = {
    // 1: the tables as the first push made them.
    {
        "CREATE TABLE zorvan.schema_version (version integer NOT NULL)",
        "INSERT INTO zorvan.schema_version VALUES (0)",
        "CREATE TABLE zorvan.cranes ("
        " id bigserial PRIMARY KEY,"
        " key text NOT NULL UNIQUE,"
        " identification bytea NOT NULL,"
        " first_read bigint NOT NULL,"
        " last_read bigint NOT NULL)",
        "CREATE TABLE zorvan.visits ("
        " id bigserial PRIMARY KEY,"
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " started bigint NOT NULL,"
        " computer text NOT NULL,"
        " user_name text NOT NULL,"
        " com_port integer NOT NULL,"
        " memory smallint,"
        " outcome text,"
        " UNIQUE (crane, started, computer, user_name, com_port))",
        "CREATE TABLE zorvan.event_records ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " address integer NOT NULL,"
        " bytes bytea NOT NULL,"
        " time timestamp,"
        " reason smallint NOT NULL,"
        " weight smallint,"
        " reach smallint,"
        " first_read bigint NOT NULL,"
        " last_read bigint NOT NULL,"
        " com_port integer NOT NULL,"
        " PRIMARY KEY (crane, address, bytes))",
        "CREATE TABLE zorvan.sum_records ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " address integer NOT NULL,"
        " bytes bytea NOT NULL,"
        " time timestamp,"
        " weight smallint,"
        " reach smallint,"
        " total_weight integer,"
        " total_cycles integer,"
        " first_read bigint NOT NULL,"
        " last_read bigint NOT NULL,"
        " com_port integer NOT NULL,"
        " PRIMARY KEY (crane, address, bytes))",
        "CREATE INDEX sum_records_newest ON zorvan.sum_records (crane, time DESC NULLS LAST)",
        "CREATE TABLE zorvan.event_months ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " month date NOT NULL,"
        " reason smallint NOT NULL,"
        " records integer NOT NULL,"
        " PRIMARY KEY (crane, month, reason))",
        "CREATE TABLE zorvan.sum_cycles ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " year integer NOT NULL,"
        " weight smallint NOT NULL,"
        " cycles integer NOT NULL,"
        " oldest timestamp,"
        " newest timestamp,"
        " PRIMARY KEY (crane, year, weight))",
    },
    // 2: the summator records in the order the recorder wrote them, the
    // counters' samples, the erase time, the event records and months by
    // time, the cycles per weight without their years. Records pushed before carry no
    // order: the recorder's clock (then the address) is the best left.
    {
        "ALTER TABLE zorvan.sum_records ADD COLUMN seq bigint",
        "UPDATE zorvan.sum_records s SET seq = o.n FROM (SELECT crane, address, bytes, "
        "row_number() OVER (PARTITION BY crane ORDER BY time NULLS FIRST, address, bytes) AS n "
        "FROM zorvan.sum_records) o WHERE s.crane = o.crane AND s.address = o.address AND "
        "s.bytes = o.bytes",
        "ALTER TABLE zorvan.sum_records ALTER COLUMN seq SET NOT NULL",
        "DROP INDEX zorvan.sum_records_newest",
        "CREATE INDEX sum_records_order ON zorvan.sum_records (crane, seq)",
        "ALTER TABLE zorvan.cranes ADD COLUMN sum_seq bigint NOT NULL DEFAULT 0, "
        "ADD COLUMN erased timestamp",
        "UPDATE zorvan.cranes c SET sum_seq = s.last FROM (SELECT crane, max(seq) AS last FROM "
        "zorvan.sum_records GROUP BY crane) s WHERE s.crane = c.id",
        "CREATE TABLE zorvan.counter_samples ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " seq bigint NOT NULL,"
        " time timestamp,"
        " cycles integer NOT NULL,"
        " PRIMARY KEY (crane, seq))",
        // The events of the page's own month are counted up to its moment,
        // the months before from their sums.
        "CREATE INDEX event_records_time ON zorvan.event_records (time)",
        "CREATE INDEX event_months_month ON zorvan.event_months (month)",
        // The cycles per weight alone: a crane's years of history add no rows.
        "CREATE TABLE zorvan.weight_cycles ("
        " crane bigint NOT NULL REFERENCES zorvan.cranes(id),"
        " weight smallint NOT NULL,"
        " cycles bigint NOT NULL,"
        " oldest timestamp,"
        " newest timestamp,"
        " PRIMARY KEY (crane, weight))",
        "INSERT INTO zorvan.weight_cycles SELECT crane, weight, sum(cycles), min(oldest), "
        "max(newest) FROM zorvan.sum_cycles GROUP BY crane, weight",
        "DROP TABLE zorvan.sum_cycles",
        "INSERT INTO zorvan.counter_samples SELECT crane, seq, time, total_cycles FROM (SELECT "
        "crane, seq, time, total_cycles, lag(total_cycles) OVER w AS before, lead(total_cycles) "
        "OVER w AS after FROM zorvan.sum_records WHERE total_cycles IS NOT NULL WINDOW w AS "
        "(PARTITION BY crane ORDER BY seq)) m WHERE before IS NULL OR after IS NULL OR "
        "total_cycles < before OR after < total_cycles",
    },
    // 3: the seal of the run folder a visit came from, kept as it was signed.
    {
        "CREATE TABLE zorvan.visit_seals ("
        " visit bigint PRIMARY KEY REFERENCES zorvan.visits(id),"
        " key_id text NOT NULL,"
        " sealed_by text NOT NULL,"
        " public_key text NOT NULL,"
        " manifest text NOT NULL,"
        " signature text NOT NULL)",
    },
};

static_assert(std::size(Migrations) == FleetSchema::Version);

bool Fail(PgConnection& db, QString& error) {
    error = db.Error();
    db.Exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool Refuse(PgConnection& db, QString& error, const QString& why) {
    db.Exec(QStringLiteral("ROLLBACK"));
    error = why;
    return false;
}

QString NewerVersion(int version) {
    return QStringLiteral("the database has the newer schema version %1 (this program knows "
                          "version %2)")
        .arg(version)
        .arg(FleetSchema::Version);
}

// Whether the query's single value is "t".
std::optional<bool> Truth(PgConnection& db, const QString& sql) {
    const PgConnection::Result r = db.Exec(sql);
    if (!r.ok)
        return std::nullopt;
    return r.Value(0, 0) == QLatin1String("t");
}

// The version in zorvan.schema_version: 0 when there is no such table,
// nullopt when it could not be read.
std::optional<int> StoredVersion(PgConnection& db, QString& error) {
    const auto exists = Truth(db, QStringLiteral("SELECT to_regclass('zorvan.schema_version') "
                                                 "IS NOT NULL"));
    if (!exists) {
        error = db.Error();
        return std::nullopt;
    }
    if (!*exists)
        return 0;
    const PgConnection::Result found =
        db.Exec(QStringLiteral("SELECT max(version) FROM zorvan.schema_version"));
    if (!found.ok) {
        error = db.Error();
        return std::nullopt;
    }
    if (found.Value(0, 0).isNull()) {
        error = QStringLiteral("the database's zorvan.schema_version table is empty");
        return std::nullopt;
    }
    return found.Value(0, 0).toInt();
}

// The tables version 1 made in "public": every one of them, with version 1
// in its schema_version. A table of that name alone is another program's.
std::optional<bool> FirstVersionInPublic(PgConnection& db) {
    QString all;
    for (const char* table : FirstTables)
        all += QStringLiteral("%1to_regclass('public.%2') IS NOT NULL")
                   .arg(all.isEmpty() ? QString() : QStringLiteral(" AND "),
                        QString::fromLatin1(table));
    const auto present = Truth(db, QStringLiteral("SELECT ") + all);
    if (!present || !*present)
        return present;
    // Every column version 1 gave its tables, read with the types it gave them.
    return Truth(
        db, QStringLiteral(
                "SELECT (SELECT count(*) FROM information_schema.columns WHERE table_schema = "
                "'public' AND (table_name, column_name) IN (('cranes', 'key'), ('cranes', "
                "'identification'), ('sum_records', 'total_cycles'), ('sum_cycles', 'cycles'), "
                "('event_months', 'records'))) = 5 AND (SELECT array_agg(version) FROM "
                "public.schema_version)::text = '{1}'"));
}

} // namespace

namespace FleetSchema {

bool Ensure(PgConnection& db, QString& error) {
    if (!db.Exec(QStringLiteral("BEGIN")).ok) {
        error = db.Error();
        return false;
    }
    if (!db.Exec(QString::fromLatin1(SchemaLock)).ok)
        return Fail(db, error);
    std::optional<int> version = StoredVersion(db, error);
    if (!version)
        return Refuse(db, error, error);
    if (*version == 0) {
        const std::optional<bool> landed = FirstVersionInPublic(db);
        if (!landed)
            return Fail(db, error);
        if (!db.Exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS zorvan")).ok)
            return Fail(db, error);
        if (*landed) {
            for (const char* table : FirstTables)
                if (!db.Exec(QStringLiteral("ALTER TABLE public.%1 SET SCHEMA zorvan")
                                 .arg(QString::fromLatin1(table)))
                         .ok)
                    return Fail(db, error);
            version = 1;
        }
    }
    if (*version > Version)
        return Refuse(db, error, NewerVersion(*version));
    for (int next = *version + 1; next <= Version; ++next) {
        for (const char* statement : Migrations[next - 1])
            if (!db.Exec(QString::fromLatin1(statement)).ok)
                return Fail(db, error);
        if (!db.Exec(QStringLiteral("UPDATE zorvan.schema_version SET version = %1").arg(next)).ok)
            return Fail(db, error);
    }
    if (!db.Exec(QStringLiteral("COMMIT")).ok) {
        error = db.Error();
        return false;
    }
    return true;
}

Found Check(PgConnection& db, QString& error) {
    const std::optional<int> version = StoredVersion(db, error);
    if (!version)
        return Found::Failed;
    if (*version > Version) {
        error = NewerVersion(*version);
        return Found::Newer;
    }
    if (*version == Version)
        return Found::Ready;
    if (*version > 0)
        return Found::Older;
    const std::optional<bool> landed = FirstVersionInPublic(db);
    if (!landed) {
        error = db.Error();
        return Found::Failed;
    }
    return *landed ? Found::Older : Found::None;
}

} // namespace FleetSchema
