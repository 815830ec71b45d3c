#pragma once

#include "readout/readout_observer.h"
#include "summary/page_update.h"

#include <QString>

#include <functional>

class DTrans;
class EventReadout;
class RunSummary;
class SumReadout;
struct OutputChoice;
struct SumReadoutChoice;

// Where a readout from the line runs, as its front end knows it.
struct ReadoutLine {
    DTrans& link;
    int comPort = 0;
    bool sinceLast = false; // take from the archive what it vouches for
    // Ends the exchange once the records are read: closes the port and, at
    // the point the front end's own ending puts it, runs finishFiles (the
    // print page completed, the files and the log closed). A port that will
    // not close tells its own message.
    std::function<void(const std::function<void()>& finishFiles)> endExchange;
};

// What the run's page says of the readout, asked for once its files are
// finished (the window's 100 % spin may have moved while it ran).
using PageFacts = std::function<FinishedReadout()>;

struct ReadoutRunEnd {
    ReadoutResult result;
    // Why the readout went on without its archive; empty when it was kept.
    QString archiveError;
};

// One memory readout from the line, the same for every front end: every
// block read goes into the memory image, the summary and the crane archive
// look on, the records are read, the exchange ends with the port closed and
// the files finished, the run's page is written into pageFolder, and that
// folder is sealed (a manifest of its files, signed with the user's key).
ReadoutRunEnd RunEventReadout(EventReadout& readout, const ReadoutLine& line,
                              const OutputChoice& files, bool withReach, RunSummary& summary,
                              const PageFacts& page, const QString& pageFolder);
ReadoutRunEnd RunSumReadout(SumReadout& readout, const ReadoutLine& line,
                            const SumReadoutChoice& choice, RunSummary& summary,
                            const PageFacts& page, const QString& pageFolder);

// After a readout's end added a file to its sealed run folder (the word
// report, and the page again that names it): the folder sealed anew, its
// readouts as sealed before.
void SealRunAgain(const QString& folder);
