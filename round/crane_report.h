#pragma once

#include "round/crane_list.h"

#include <QString>
#include <QStringList>

#include <vector>

// What becomes of each crane in a round, and what the round says of it. The
// round runs every step as a child process of the tool (a readout, a push);
// these are the steps' command lines and the reading of how they ended.

// The arguments of the tool for one --since-last readout of a crane's memory.
// Without --out: the child makes a new run folder in its current folder (the
// crane's folder) and prints it first, and sweeps it when nothing was written.
[[nodiscard]] QStringList ReadoutArguments(const RoundCrane& crane, const QString& memory);
// The push of the run folders read; db empty: the child's ZORVAN_DB or PG*.
[[nodiscard]] QStringList PushArguments(const QStringList& folders, const QString& db);

enum class CraneOutcome {
    Read,         // every memory asked for read whole
    NotReachable, // the port did not open or the recorder never answered
    CutShort,     // records were being read when the link failed or a stop came
    Failed,       // files could not be written, or the step failed otherwise
    NotRead,      // the round was stopped before the crane's turn
};

enum class PushOutcome { NotAsked, Pushed, Failed, NotDone };

struct MemoryTally {
    QString memory;
    int fromLine = -1; // records read from the line; -1 when not told
    int fromArchive = -1;
    int fresh = -1; // records new to the archive; -1 when not known
};

struct CraneReport {
    QString name;
    CraneOutcome outcome = CraneOutcome::NotRead;
    int exitCode = 0;                  // of the step that failed; 0 when none did
    std::vector<MemoryTally> memories; // the readouts that ended whole
    PushOutcome push = PushOutcome::NotAsked;
    int pushExitCode = 0;
    QStringList folders; // run folders written
};

// How a readout step ended, from its exit code and standard error.
struct ReadoutEnd {
    CraneOutcome outcome = CraneOutcome::Failed;
    MemoryTally tally;
};
[[nodiscard]] ReadoutEnd ClassifyReadout(const QString& memory, int exitCode, bool crashed,
                                         const QString& standardError);

// Standard error of a step, less what the round's own line already says:
// each line to pass on under the crane's name.
[[nodiscard]] QStringList MessagesToPassOn(const QString& standardError);

// "NAME: read, events 5 new (21 from the line, 284 from the archive); pushed".
[[nodiscard]] QString CraneLine(const CraneReport& report);
// "round: 4 cranes: 2 read, 1 not reachable, 1 cut short; 2 pushed".
[[nodiscard]] QString SummaryLine(const std::vector<CraneReport>& reports);

// 0 when every crane was read (and pushed when asked); 130 when the round was
// stopped; otherwise the gravest exit code of a failed step (4 above 3 above 1).
[[nodiscard]] int RoundExitCode(const std::vector<CraneReport>& reports, bool stopped);
