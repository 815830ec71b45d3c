#include "fleet/fleet_schema.h"

#include "fleet/pg_connection.h"

namespace {

// Taken for the making of the tables only: any number fixed for this program.
constexpr const char* SchemaLock = "SELECT pg_advisory_xact_lock(74210001)";

const char* const Tables[] = {
    "CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS cranes ("
    " id bigserial PRIMARY KEY,"
    " key text NOT NULL UNIQUE,"
    " identification bytea NOT NULL,"
    " first_read bigint NOT NULL,"
    " last_read bigint NOT NULL)",
    "CREATE TABLE IF NOT EXISTS visits ("
    " id bigserial PRIMARY KEY,"
    " crane bigint NOT NULL REFERENCES cranes(id),"
    " started bigint NOT NULL,"
    " computer text NOT NULL,"
    " user_name text NOT NULL,"
    " com_port integer NOT NULL,"
    " memory smallint,"
    " outcome text,"
    " UNIQUE (crane, started, computer, user_name, com_port))",
    "CREATE TABLE IF NOT EXISTS event_records ("
    " crane bigint NOT NULL REFERENCES cranes(id),"
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
    "CREATE TABLE IF NOT EXISTS sum_records ("
    " crane bigint NOT NULL REFERENCES cranes(id),"
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
    // The newest rated summator record of a crane, for its counters.
    "CREATE INDEX IF NOT EXISTS sum_records_newest ON sum_records (crane, time DESC NULLS LAST)",
    // Sums kept up by every push from the records it added, so that the fleet
    // page reads a few rows per crane rather than every record.
    "CREATE TABLE IF NOT EXISTS event_months ("
    " crane bigint NOT NULL REFERENCES cranes(id),"
    " month date NOT NULL,"
    " reason smallint NOT NULL,"
    " records integer NOT NULL,"
    " PRIMARY KEY (crane, month, reason))",
    "CREATE TABLE IF NOT EXISTS sum_cycles ("
    " crane bigint NOT NULL REFERENCES cranes(id),"
    " year integer NOT NULL,"
    " weight smallint NOT NULL,"
    " cycles integer NOT NULL,"
    " oldest timestamp,"
    " newest timestamp,"
    " PRIMARY KEY (crane, year, weight))",
};

bool Run(PgConnection& db, const char* sql, QString& error) {
    if (db.Exec(QString::fromLatin1(sql)).ok)
        return true;
    error = db.Error();
    return false;
}

bool Fail(PgConnection& db, QString& error) {
    error = db.Error();
    db.Exec(QStringLiteral("ROLLBACK"));
    return false;
}

} // namespace

namespace FleetSchema {

bool Ensure(PgConnection& db, QString& error) {
    if (!Run(db, "BEGIN", error))
        return false;
    if (!db.Exec(QString::fromLatin1(SchemaLock)).ok)
        return Fail(db, error);
    const PgConnection::Result exists =
        db.Exec(QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL"));
    if (!exists.ok)
        return Fail(db, error);
    if (exists.Value(0, 0) != QLatin1String("t")) {
        for (const char* statement : Tables)
            if (!db.Exec(QString::fromLatin1(statement)).ok)
                return Fail(db, error);
        if (!db.Exec(QStringLiteral("INSERT INTO schema_version VALUES (%1)").arg(Version)).ok)
            return Fail(db, error);
    }
    const PgConnection::Result found =
        db.Exec(QStringLiteral("SELECT max(version) FROM schema_version"));
    if (!found.ok)
        return Fail(db, error);
    if (found.Value(0, 0).isNull()) {
        db.Exec(QStringLiteral("ROLLBACK"));
        error = QStringLiteral("the database's schema_version table is empty");
        return false;
    }
    const int version = found.Value(0, 0).toInt();
    if (version > Version) {
        db.Exec(QStringLiteral("ROLLBACK"));
        error = QStringLiteral("the database has the newer schema version %1 (this program knows "
                               "version %2)")
                    .arg(version)
                    .arg(Version);
        return false;
    }
    if (!Run(db, "COMMIT", error))
        return false;
    return true;
}

} // namespace FleetSchema
