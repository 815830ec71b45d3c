#pragma once

#include "summary/run_summary.h"

#include <QString>
#include <QStringList>

// The sections of the summary page, each an HTML fragment. Cells the tests
// and readers look up carry ids (events-relay, class-1, sums-period ...).

// The crane's and the recorder's identification lines.
[[nodiscard]] QString IdentSection(const RunSummary& summary);
// Per memory: read or not, times, port, records, period, wrap, outcome.
[[nodiscard]] QString ReadoutsSection(const RunSummary& summary);
// Events by kind over time, by reason, and the newest ones.
[[nodiscard]] QString EventsSection(const RunSummary& summary);
// Totals over time, cycles, the load spectrum and the newest rated cycles.
[[nodiscard]] QString SummatorSection(const RunSummary& summary);
// Links to the files of the run folder, then to the run's files elsewhere
// (full paths).
[[nodiscard]] QString FilesSection(const QStringList& runFiles,
                                   const QStringList& elsewhere = QStringList());

// A table; every cell is escaped. A first row of headings when header is not
// empty; cells that hold numbers only are aligned right.
[[nodiscard]] QString HtmlTable(const QStringList& header, const QList<QStringList>& rows);
