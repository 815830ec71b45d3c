#pragma once

#include "summary/run_summary.h"
#include "summary/time_buckets.h"

#include <QColor>
#include <QSize>
#include <QString>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QValueAxis;

// The page's charts, drawn by Qt Charts and written as SVG for inlining.
// Drawing needs a QApplication (QT_QPA_PLATFORM=offscreen will do); without
// one every chart comes back empty and the page shows the numbers alone.

[[nodiscard]] bool ChartsAvailable();

// A chart of the pages' look: its title, no animation, square corners, the
// legend below.
[[nodiscard]] QChart* NewChart(const QString& title);
// Axis and bar labels read as the page's numbers do (8 554, 0,5). Qt Charts
// (6.4) leaves a localized "%d" label empty: value axes of such a chart take
// "%.0f" for whole numbers, as CountAxis does.
void UseRussianNumbers(QChart* chart);
// A count from 0 to at least largest, on round numbers.
[[nodiscard]] QValueAxis* CountAxis(const QString& title, int largest);
// The series into the chart, x along the bottom and y up the left side.
void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);

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
