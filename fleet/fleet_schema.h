#pragma once

#include <QString>

class PgConnection;

// The fleet's PostgreSQL database: the README's section on the fleet database
// describes the tables. They live in the PostgreSQL schema "zorvan", always
// named so (never found through search_path, where another program's table
// of the same name could stand first), and follow the archive's SQLite
// tables, so that a push copies rows rather than decoding anything again:
//
// schema_version   the version of these tables (one row)
// cranes           one row per recorder identification (the archive's key)
// visits           one row per readout that identified a crane
// visit_seals      the seal (manifest, signature, public key) of a visit
//                  pushed from a sealed run folder
// event_records    every distinct event record read from a crane
// sum_records      every distinct summator record read from a crane, with its
//                  place in the order the recorder wrote them (seq)
// event_months     per crane, month and reason: how many event records
// weight_cycles    per crane and weight: how many cycles
// counter_samples  per crane, the total-cycle counter of its oldest and newest
//                  summator record and of both sides of every drop (a reset)
//
// A record's identity is its crane, address and bytes; the decoded columns
// are what the fleet's queries need.
namespace FleetSchema {

constexpr int Version = 3;

// Makes the tables when the database has none, moves those of version 1
// (made in the schema "public") into "zorvan" and brings older tables up to
// this version, all under a lock, so that pushes starting together do it
// once. False with the reason when the database cannot be used, e.g. has a
// newer version; a newer database is never changed.
[[nodiscard]] bool Ensure(PgConnection& db, QString& error);

// What a reader finds, changing nothing.
enum class Found {
    Ready,  // the tables of this version
    None,   // no fleet data: nothing was pushed here yet
    Older,  // the tables of an older version: the next push brings them up to date
    Newer,  // a newer version, which this program cannot read
    Failed, // the database could not be asked
};
[[nodiscard]] Found Check(PgConnection& db, QString& error);

} // namespace FleetSchema
