#pragma once

#include "decoding/reasons.h"
#include "link/recorder_requests.h"
#include "summary/run_summary.h"
#include "summator/load_rating.h"
#include "summator/sum_readout.h"

#include <QString>

#include <optional>

// What a front end knew of a readout that has just ended.
struct FinishedReadout {
    ReadoutKind kind = ReadoutKind::Events;
    int comPort = 0;
    QString clockText;
    const IdentData& ident;
    const MessageTexts& texts;
    bool withReach = true; // moment mode: the reach column, and the spectrum by moment
    // The summator readout, for its spectrum; null after an event readout.
    const SumReadout* sum = nullptr;
    std::int32_t fullScale = 800; // the 100 % value the spectrum was rated against
    // The rated load the user gave for the duty estimate, instead of the
    // nameplate's.
    std::optional<double> ratedLoad = std::nullopt;
};

// After a readout, its files closed: the run's summary page in folder. It
// shows no box and never touches the readout; a page that cannot be written
// is one line of the log "zorvlog.txt" in the current folder. After a
// summator readout that took cycles with a weight it also writes the duty
// estimate duty.json into folder, before the page that links it.
void UpdateSummaryPage(RunSummary& summary, const FinishedReadout& readout, const QString& folder);

// After the word report was saved at reportPath: the run's page in folder
// is written again so that its file list holds the report, linked where it
// lies (in folder, or by its full path beside the program). Nothing when no
// readout of the run has written a page yet.
void NoteWordReport(RunSummary& summary, const QString& reportPath, const QString& folder);
