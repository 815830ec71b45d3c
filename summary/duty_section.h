#pragma once

#include "summary/run_summary.h"

#include <QString>

// The page's section on the crane's duty by ISO 4301-1 after a summator
// readout: the inputs as read, the figures, the actual and the nameplate
// group side by side, the share of the design life used as a chart, what
// could not be computed and why. Empty when no summator readout took records.
[[nodiscard]] QString DutySection(const RunSummary& summary);

// The share of the nameplate group's budget used, as a chart; empty when
// there is no share or charts cannot be drawn.
[[nodiscard]] QString DutyChart(const DutyEstimate& estimate);
