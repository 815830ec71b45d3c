#pragma once

#include "fleet/crane_source.h"

#include <functional>

class PgConnection;

// What one push did.
struct PushTally {
    int cranes = 0;
    qint64 eventsSent = 0;
    qint64 sumsSent = 0;
    qint64 eventsAdded = 0; // new to the database
    qint64 sumsAdded = 0;
    qint64 visitsAdded = 0;
    int attempts = 0;
};

// Sends the cranes' rows in one transaction: all of it lands, or nothing.
// Rows the database holds already are left as they are, so pushing the same
// data again adds nothing. Cranes are taken in the order of their keys and
// each crane's row is locked before its records go in, so pushes running at
// once wait for each other instead of deadlocking; a serialization failure or
// deadlock all the same (SQLSTATE 40001, 40P01) is tried again a few times,
// nothing else. stop, asked between cranes and while a statement waits for
// the server (which is then told to cancel it), abandons the push (rolled
// back); a commit once sent is never cancelled. False with the reason when it
// did not land; a crane that could not be read is told by cranes.Error().
[[nodiscard]] bool PushCranes(PgConnection& db, CraneSource& cranes, PushTally& tally,
                              QString& error, const std::function<bool()>& stop = {});
// The same for cranes in memory.
[[nodiscard]] bool PushCranes(PgConnection& db, std::vector<PushCrane> cranes, PushTally& tally,
                              QString& error, const std::function<bool()>& stop = {});
