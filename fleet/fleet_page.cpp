#include "fleet/fleet_page.h"

#include "summary/page_sections.h"
#include "summary/summary_charts.h"
#include "summary/summary_page.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QDir>
#include <QHorizontalBarSeries>
#include <QLocale>
#include <QSaveFile>
#include <QStackedBarSeries>
#include <QValueAxis>

namespace {

const char* const Style = R"(
body{font-family:sans-serif;margin:0 auto;max-width:72em;padding:.5em;color:#212121;line-height:1.35}
h1{font-size:1.4em}h2{font-size:1.2em;border-bottom:2px solid #1565c0;margin-top:1.5em}
table{border-collapse:collapse;margin:.5em 0;font-size:.9em}
th,td{border:1px solid #bdbdbd;padding:.2em .4em;text-align:left;vertical-align:top}
.scroll{overflow-x:auto}
figure{margin:.8em 0;break-inside:avoid;page-break-inside:avoid}
figure svg{display:block;width:100%;height:auto;max-width:900px}
@media print{@page{size:A4 landscape;margin:12mm}body{max-width:none;font-size:9pt}}
)";

const QSize ChartSize(900, 400);

// Numbers as a Russian reader writes them: a decimal comma, a no-break space
// between thousands.
const QLocale& Russian() {
    static const QLocale locale(QLocale::Russian, QLocale::Russia);
    return locale;
}

QString Percent(const std::optional<double>& share) {
    return share ? Russian().toString(*share * 100, 'f', 1) + QLatin1Char('%') : QString();
}

QString LastRead(const FleetCrane& c) {
    if (c.lastRead <= 0 && !c.lastVisit)
        return {};
    const qint64 at = std::max(c.lastRead, c.lastVisit.value_or(0));
    QString text = QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    // Who read it, when the newest visit is the readout that read it last
    // (one lasts minutes, never a day); an image pushed later says no name.
    constexpr qint64 Day = 24 * 3600 * 1000;
    if (c.lastVisit && at - *c.lastVisit < Day)
        text += QLatin1Char(' ') + c.lastVisitBy;
    return text;
}

QString DutyCell(const DutyEstimate& d) {
    if (!d.group && !d.lifeUsed)
        return d.reasons.isEmpty() ? QString() : d.reasons.first();
    QString text = GroupName(d.group);
    if (d.nameplateGroup)
        text += QStringLiteral(" (паспорт ") + GroupName(d.nameplateGroup) + QLatin1Char(')');
    if (d.kp)
        text += QStringLiteral(", Kp ") + Russian().toString(*d.kp, 'f', 3);
    return text.trimmed();
}

// A bar per crane, across the page, the crane's name beside it: readable for
// a fleet of hundreds, the chart growing downwards; the most used on top, as
// in the table.
QString LifeChart(const FleetData& data) {
    auto* set = new QBarSet(QStringLiteral("Использовано ресурса, %"));
    QStringList names;
    double largest = 0;
    // The chart's categories go upwards: the table's order, reversed.
    for (auto c = data.cranes.rbegin(); c != data.cranes.rend(); ++c)
        if (c->duty.lifeUsed) {
            names << c->name.toHtmlEscaped();
            set->append(*c->duty.lifeUsed * 100);
            largest = std::max(largest, *c->duty.lifeUsed * 100);
        }
    if (names.isEmpty()) {
        delete set;
        return {};
    }
    QChart* chart = NewChart(QStringLiteral("Использованный ресурс по кранам"));
    chart->setLocale(Russian());
    chart->setLocalizeNumbers(true);
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    auto* cranes = new QBarCategoryAxis;
    cranes->append(names);
    auto* share = new QValueAxis;
    share->setRange(0, std::max(100.0, largest));
    // Localized numbers take QLocale's formats only: 'd' would print nothing.
    share->setLabelFormat(QStringLiteral("%.0f"));
    Attach(chart, series, share, cranes);
    // Closer than 30 px, Qt Charts hides every other name and cuts the rest.
    const int height = std::max(ChartSize.height(), 120 + 30 * int(names.size()));
    return ChartSvg(chart, QSize(ChartSize.width(), height));
}

QString MonthChart(const FleetData& data) {
    if (data.eventsPerMonth.empty())
        return {};
    QChart* chart = NewChart(QStringLiteral("События парка по месяцам"));
    chart->setLocale(Russian());
    chart->setLocalizeNumbers(true);
    auto* series = new QStackedBarSeries;
    int largest = 0;
    QStringList months;
    for (const auto& [month, counts] : data.eventsPerMonth) {
        // Twelve "MM.yyyy" labels do not fit under their bars and are cut short.
        months << month.toString(QStringLiteral("MM.yy"));
        int all = 0;
        for (int n : counts)
            all += n;
        largest = std::max(largest, all);
    }
    for (int k = 0; k < EventKindCount; ++k) {
        auto* set = new QBarSet(EventKindName(EventKind(k)));
        set->setColor(EventKindColour(EventKind(k)));
        for (const auto& step : data.eventsPerMonth)
            set->append(step.second[std::size_t(k)]);
        series->append(set);
    }
    auto* x = new QBarCategoryAxis;
    x->append(months);
    QValueAxis* count = CountAxis(QString(), largest);
    count->setLabelFormat(QStringLiteral("%.0f"));
    Attach(chart, series, x, count);
    return ChartSvg(chart, ChartSize);
}

QString Figure(const QString& svg) {
    return svg.isEmpty() ? QString()
                         : QStringLiteral("<figure>") + svg + QStringLiteral("</figure>\n");
}

} // namespace

QString CountOf(qint64 n, const QString& one, const QString& few, const QString& many) {
    const qint64 tens = n % 100, units = n % 10;
    const QString& word = (tens >= 11 && tens <= 14)   ? many
                          : units == 1                 ? one
                          : (units >= 2 && units <= 4) ? few
                                                       : many;
    return Russian().toString(n) + QChar(0x00A0) + word;
}

QString FleetPageHtml(const FleetData& data, const QDateTime& now) {
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, "
                           "initial-scale=1\"><title>Парк кранов</title><style>");
    html += QString::fromLatin1(Style);
    html += QStringLiteral("</style></head><body>\n<h1>Парк кранов</h1>\n<p>В парке %1. "
                           "События за 12 месяцев до %2.</p>\n")
                .arg(CountOf(qint64(data.cranes.size()), QStringLiteral("кран"),
                             QStringLiteral("крана"), QStringLiteral("кранов")),
                     now.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    QStringList header{QStringLiteral("Кран"), QStringLiteral("Ключ"),
                       QStringLiteral("Последнее чтение")};
    header << QStringLiteral("Запечатал");
    for (int k = 0; k < EventKindCount; ++k)
        header << EventKindName(EventKind(k));
    header << QStringLiteral("Группа") << QStringLiteral("Ресурс");
    QList<QStringList> rows;
    for (const FleetCrane& c : data.cranes) {
        QStringList row{c.name, c.key.left(12), LastRead(c), c.lastSealedBy};
        for (int n : c.events)
            row << Russian().toString(n);
        row << DutyCell(c.duty) << Percent(c.duty.lifeUsed);
        rows << row;
    }
    html += QStringLiteral("<h2>Краны</h2>\n") + HtmlTable(header, rows);
    html += QStringLiteral("<h2>Ресурс и события</h2>\n") + Figure(LifeChart(data)) +
            Figure(MonthChart(data));
    html += QStringLiteral("<p>") + DutyDisclaimer().toHtmlEscaped() + QStringLiteral("</p>\n");
    html += QStringLiteral("</body></html>\n");
    return html;
}

bool WriteFleetPage(const FleetData& data, const QDateTime& now, const QString& folder,
                    QString& error) {
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the folder ") + QDir::toNativeSeparators(folder);
        return false;
    }
    QSaveFile file(QDir(folder).filePath(SummaryPageName));
    if (!file.open(QIODevice::WriteOnly) || file.write(FleetPageHtml(data, now).toUtf8()) < 0 ||
        !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
