#pragma once

#include <QString>

class PgConnection;

// The fleet's PostgreSQL database: the README's section on the fleet database
// describes the tables. They follow the archive's SQLite tables, so that a
// push copies rows rather than decoding anything again:
//
// schema_version  the version of these tables (one row)
// cranes          one row per recorder identification (the archive's key)
// visits          one row per readout that identified a crane
// event_records   every distinct event record read from a crane
// sum_records     every distinct summator record read from a crane
//
// A record's identity is its crane, address and bytes; the decoded columns
// are what the fleet's queries need.
namespace FleetSchema {

constexpr int Version = 1;

// Makes the tables when the database has none (under a lock, so that pushes
// starting together make them once) and checks the version. False with the
// reason when the database cannot be used, e.g. has a newer version; a newer
// database is never changed.
[[nodiscard]] bool Ensure(PgConnection& db, QString& error);

} // namespace FleetSchema
