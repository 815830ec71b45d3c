#pragma once

#include "summary/run_summary.h"
#include "summary/time_buckets.h"

#include <QColor>
#include <QSize>
#include <QString>

class QChart;

// The page's charts, drawn by Qt Charts and written as SVG for inlining.
// Drawing needs a QApplication (QT_QPA_PLATFORM=offscreen will do); without
// one every chart comes back empty and the page shows the numbers alone.

[[nodiscard]] bool ChartsAvailable();

// The chart as an <svg> element that scales with the page (no width or
// height of its own, a viewBox of size). Takes the chart; empty when charts
// cannot be drawn.
[[nodiscard]] QString ChartSvg(QChart* chart, const QSize& size);

// The colour of a kind, in the chart and in the page's legend.
[[nodiscard]] QColor EventKindColour(EventKind kind);

// Events per step, stacked by kind.
[[nodiscard]] QString EventChart(const RunSummary& summary, BucketUnit unit);
// Operating hours and lifted weight at the end of every day.
[[nodiscard]] QString SumTotalsChart(const RunSummary& summary);
// Lifting cycles per step.
[[nodiscard]] QString CyclesChart(const RunSummary& summary, BucketUnit unit);
// Cycles per load class.
[[nodiscard]] QString SpectrumChart(const RunSummary& summary);
