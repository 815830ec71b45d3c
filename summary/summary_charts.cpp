#include "summary/summary_charts.h"

#include "decoding/russian_numbers.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QStackedBarSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <limits>

namespace {

const QSize WideChart(900, 420);
const QSize SmallChart(640, 360);
// More points than a line on a page can show only make the page heavier.
constexpr int MaxLinePoints = 400;

// The axis of the steps. Qt Charts shares the plot's width among an axis's
// labels and cuts a label longer than its share to "...": up to a dozen
// steps of a short label ("dd.MM") each carry their label, fewer of a longer
// one ("MM.yyyy", "dd.MM.yy"). Beyond that every few steps get one, placed
// on a value axis that counts the bars from 0. Axis labels are rich text to
// Qt Charts: "<25%" must be escaped to show.
QAbstractAxis* StepAxis(const QStringList& labels) {
    constexpr qsizetype ShortLabel = 5;
    qsizetype longest = ShortLabel;
    for (const QString& label : labels)
        longest = std::max(longest, label.size());
    const auto allLabelled = int(12 * ShortLabel / longest);
    if (labels.size() <= allLabelled) {
        auto* axis = new QBarCategoryAxis;
        for (const QString& label : labels)
            axis->append(label.toHtmlEscaped());
        return axis;
    }
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(-0.5, labels.size() - 0.5);
    const int every = int((labels.size() + allLabelled - 1) / allLabelled);
    for (int i = 0; i < labels.size(); i += every)
        axis->append(labels[i].toHtmlEscaped(), i);
    return axis;
}

// Chart texts in the picture's own pixels. A wide chart prints at about 0.59 pt
// a pixel on A4, so 14 px keeps every text at 8 pt or more on paper and at
// 11 px or more on a screen that shows the chart at least 800 px wide.
constexpr int TextPixels = 14;
constexpr int TitlePixels = 16;

QFont ChartFont(int pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void SetFonts(QChart* chart) {
    chart->setTitleFont(ChartFont(TitlePixels, true));
    chart->legend()->setFont(ChartFont(TextPixels));
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(ChartFont(TextPixels));
        axis->setTitleFont(ChartFont(TextPixels));
    }
    for (QAbstractSeries* series : chart->series()) {
        if (auto* bars = qobject_cast<QAbstractBarSeries*>(series)) {
            for (QBarSet* set : bars->barSets())
                set->setLabelFont(ChartFont(TextPixels));
        }
    }
}

// Whole numbers, in the chart's locale: Qt Charts leaves a localized "%d"
// label empty.
const QString WholeNumbers = QStringLiteral("%.0f");

// A counter that only grows (operating hours, lifted tonnes) shown over the
// span it covers: from zero, its growth would be a flat line at the top.
QValueAxis* SpanAxis(const QString& title, std::uint32_t lowest, std::uint32_t highest) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(WholeNumbers);
    axis->setRange(qreal(lowest), qreal(std::max(highest, lowest + 1)));
    axis->applyNiceNumbers();
    return axis;
}

} // namespace

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

void UseRussianNumbers(QChart* chart) {
    chart->setLocale(QLocale(QLocale::Russian));
    chart->setLocalizeNumbers(true);
}

QValueAxis* CountAxis(const QString& title, int largest) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(WholeNumbers);
    axis->setRange(0, std::max(largest, 1));
    axis->applyNiceNumbers();
    return axis;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

bool ChartsAvailable() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QString ChartSvg(QChart* chart, const QSize& size) {
    if (!ChartsAvailable()) {
        delete chart;
        return {};
    }
    SetFonts(chart);
    QGraphicsScene scene; // owns the chart from here on
    scene.addItem(chart);
    const QRectF area(QPointF(0, 0), size);
    chart->setGeometry(area);
    chart->layout()->activate();
    scene.setSceneRect(area);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(area);
    generator.setTitle(chart->title());
    generator.setDescription(chart->title());
    QPainter painter(&generator);
    scene.render(&painter, area, area);
    painter.end();

    QString svg = QString::fromUtf8(buffer.data());
    svg.remove(0, svg.indexOf(QStringLiteral("<svg")));
    // The generator opens a group for every change of pen or font, most of
    // them empty: without them the page is a third of the size.
    static const QRegularExpression emptyGroup(QStringLiteral(R"(<g [^>]*>\s*</g>\s*)"));
    for (qsizetype before = -1; before != svg.size();) {
        before = svg.size();
        svg.remove(emptyGroup);
    }
    // The page sizes the picture; the viewBox keeps its proportions.
    // Gradient ids are numbered per picture; on one page they must differ.
    static int pictures = 0;
    const QString prefix = QStringLiteral("chart%1-").arg(++pictures);
    svg.replace(QStringLiteral("id=\"gradient"),
                QStringLiteral("id=\"") + prefix + QStringLiteral("gradient"));
    svg.replace(QStringLiteral("url(#gradient"),
                QStringLiteral("url(#") + prefix + QStringLiteral("gradient"));
    static const QRegularExpression fixedSize(QStringLiteral(R"( width="[^"]*" height="[^"]*")"));
    const int tagEnd = svg.indexOf(QLatin1Char('>'));
    QString tag = svg.left(tagEnd);
    tag.replace(fixedSize, QString());
    return tag + QStringLiteral(" role=\"img\"") + svg.mid(tagEnd);
}

QColor EventKindColour(EventKind kind) {
    switch (kind) {
    case EventKind::Relay:
        return QColor(0xC6, 0x28, 0x28); // overloads stand out in red
    case EventKind::DigOut:
        return QColor(0x15, 0x65, 0xC0);
    case EventKind::DigIn:
        return QColor(0x2E, 0x7D, 0x32);
    case EventKind::Other:
        break;
    }
    return QColor(0x75, 0x75, 0x75);
}

QString EventChart(const RunSummary& summary, BucketUnit unit) {
    const auto steps =
        Bucketed(summary.EventsPerDay(), unit, [](KindCounts& sum, const KindCounts& day) {
            for (int k = 0; k < EventKindCount; ++k)
                sum[k] += day[k];
        });
    if (steps.empty() || !ChartsAvailable())
        return {};
    QChart* chart = NewChart(QStringLiteral("События ") + BucketUnitText(unit));
    UseRussianNumbers(chart);
    auto* series = new QStackedBarSeries;
    QStringList labels;
    int largest = 0;
    for (const auto& [start, counts] : steps) {
        labels << BucketLabel(start, unit);
        int all = 0;
        for (int c : counts)
            all += c;
        largest = std::max(largest, all);
    }
    for (int k = 0; k < EventKindCount; ++k) {
        auto* set = new QBarSet(EventKindName(static_cast<EventKind>(k)));
        set->setColor(EventKindColour(static_cast<EventKind>(k)));
        set->setBorderColor(EventKindColour(static_cast<EventKind>(k)));
        for (const auto& step : steps)
            set->append(step.second[k]);
        series->append(set);
    }
    Attach(chart, series, StepAxis(labels), CountAxis(QStringLiteral("записей"), largest));
    return ChartSvg(chart, WideChart);
}

QString SumTotalsChart(const RunSummary& summary) {
    const auto& days = summary.SumDays();
    if (days.empty() || !ChartsAvailable())
        return {};
    QChart* chart = NewChart(QStringLiteral("Наработка и поднятый вес"));
    UseRussianNumbers(chart);
    auto* hours = new QLineSeries;
    hours->setName(QStringLiteral("Наработка, часов"));
    auto* weight = new QLineSeries;
    weight->setName(QStringLiteral("Поднятый вес, тонн"));
    const int every = std::max<int>(1, int((days.size() + MaxLinePoints - 1) / MaxLinePoints));
    int i = 0;
    std::uint32_t maxHours = 0;
    std::uint32_t maxWeight = 0;
    std::uint32_t minHours = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t minWeight = std::numeric_limits<std::uint32_t>::max();
    for (auto it = days.begin(); it != days.end(); ++it, ++i) {
        // The last day always stands: it holds the newest totals.
        if (i % every != 0 && std::next(it) != days.end())
            continue;
        const qreal x = qreal(QDateTime(it->first, QTime(23, 59)).toMSecsSinceEpoch());
        hours->append(x, it->second.hours);
        weight->append(x, it->second.weight);
        maxHours = std::max(maxHours, it->second.hours);
        maxWeight = std::max(maxWeight, it->second.weight);
        minHours = std::min(minHours, it->second.hours);
        minWeight = std::min(minWeight, it->second.weight);
    }
    chart->addSeries(hours);
    chart->addSeries(weight);
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("dd.MM.yy"));
    x->setTickCount(6);
    chart->addAxis(x, Qt::AlignBottom);
    QValueAxis* left = SpanAxis(hours->name(), minHours, maxHours);
    QValueAxis* right = SpanAxis(weight->name(), minWeight, maxWeight);
    chart->addAxis(left, Qt::AlignLeft);
    chart->addAxis(right, Qt::AlignRight);
    hours->attachAxis(x);
    hours->attachAxis(left);
    weight->attachAxis(x);
    weight->attachAxis(right);
    return ChartSvg(chart, WideChart);
}

QString CyclesChart(const RunSummary& summary, BucketUnit unit) {
    const auto steps = Bucketed(summary.SumDays(), unit,
                                [](SumDay& sum, const SumDay& day) { sum.cycles += day.cycles; });
    if (steps.empty() || !ChartsAvailable())
        return {};
    QChart* chart = NewChart(QStringLiteral("Циклы ") + BucketUnitText(unit));
    UseRussianNumbers(chart);
    chart->legend()->hide();
    auto* set = new QBarSet(QStringLiteral("Циклов"));
    set->setColor(QColor(0x15, 0x65, 0xC0));
    QStringList labels;
    int largest = 0;
    for (const auto& [start, day] : steps) {
        labels << BucketLabel(start, unit);
        set->append(day.cycles);
        largest = std::max(largest, day.cycles);
    }
    auto* series = new QBarSeries;
    series->append(set);
    Attach(chart, series, StepAxis(labels), CountAxis(QStringLiteral("циклов"), largest));
    return ChartSvg(chart, WideChart);
}

QString SpectrumChart(const RunSummary& summary) {
    // Without a widget application a chart cannot even be made.
    if (!summary.HasSpectrum() || !ChartsAvailable())
        return {};
    const bool byMoment = summary.Basis() == RatingBasis::Moment;
    QChart* chart = NewChart(QStringLiteral("Спектр нагружения: 100% ") +
                             (byMoment ? QStringLiteral("момент = ") : QStringLiteral("вес = ")) +
                             RussianNumber(std::int64_t(summary.FullScale())) +
                             (byMoment ? QStringLiteral(" т·м") : QStringLiteral(" т")));
    UseRussianNumbers(chart);
    chart->legend()->hide();
    auto* set = new QBarSet(QStringLiteral("Циклов"));
    set->setColor(QColor(0x6A, 0x1B, 0x9A));
    QStringList labels;
    int largest = 0;
    for (const TRepoSum& c : summary.Spectrum().LoadClasses()) {
        labels << c.label;
        set->append(c.count);
        largest = std::max(largest, c.count);
    }
    auto* series = new QBarSeries;
    series->append(set);
    set->setLabelColor(Qt::black);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    Attach(chart, series, StepAxis(labels), CountAxis(QStringLiteral("циклов"), largest));
    return ChartSvg(chart, SmallChart);
}
