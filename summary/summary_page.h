#pragma once

#include "readout/run_folder.h"
#include "summary/run_summary.h"

#include <QString>
#include <QStringList>

// The run's summary page: one self-contained HTML file in UTF-8, Russian,
// charts inline as SVG, styles inline, no script, no font and nothing from
// the network; readable on a phone and printable on A4.

// The page, linking to the named files of the run folder.
[[nodiscard]] QString SummaryPageHtml(const RunSummary& summary, const QStringList& runFiles);

// Writes the page as index.html into folder, linking every other file the
// folder holds. Atomic: the folder holds the old page or the new one, never
// half of one. False, with *error saying why, when it could not be written.
[[nodiscard]] bool WriteSummaryPage(const RunSummary& summary, const QString& folder,
                                    QString* error);
