#pragma once

#include "duty/duty_estimate.h"
#include "duty/duty_input.h"

// The estimate's view of time, apart from its view of load: the calendar
// life, the cycles a year and where they come from, and the history the
// counters saw or did not see. Each step fills its part of the estimate from
// the input and the parts filled before it (the nameplate, the counters).

// The normative service life against the recorder's clock.
void EstimateCalendar(DutyEstimate& e);
// The cycles a year, from the best source the input holds, and the counted
// history: the cycles counted and since when.
void EstimateRate(const DutyInput& in, DutyEstimate& e);
// The used share, counted and assumed, and the years left (needs Kp, the
// nameplate group and the two steps above).
void EstimateLifeUsed(DutyEstimate& e);
