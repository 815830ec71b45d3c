#include "summary/duty_section.h"

#include "duty/duty_report.h"
#include "summary/summary_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QHorizontalStackedBarSeries>
#include <QValueAxis>

#include <algorithm>

namespace {

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

// A table given an id stays on one printed page: the figures read together,
// and one split from the next page's lines misreads.
QString LinesTable(const QList<DutyLine>& lines, const QString& id = {}) {
    const QString keep = QStringLiteral(" style=\"break-inside:avoid;page-break-inside:avoid\"");
    QString html = id.isEmpty()
                       ? QStringLiteral("<div class=\"scroll\"><table>")
                       : QStringLiteral("<div class=\"scroll\" id=\"") + id + QStringLiteral("\"") +
                             keep + QStringLiteral("><table") + keep + QStringLiteral(">");
    for (const DutyLine& l : lines)
        html += QStringLiteral("<tr><th>") + Esc(l.label) + QStringLiteral("</th><td id=\"") +
                l.id + QStringLiteral("\">") + Esc(l.value) + QStringLiteral("</td></tr>");
    return html + QStringLiteral("</table></div>\n");
}

QString Or(const QString& s) {
    return s.isEmpty() ? QStringLiteral("—") : s;
}

// The actual group beside the nameplate's, with what each is made of.
QString GroupsTable(const DutyEstimate& e) {
    const QString actual = Or(GroupName(e.group));
    const QString plate = Or(GroupName(e.nameplateGroup));
    QString html =
        QStringLiteral("<table id=\"duty-groups\"><tr><th></th><th>Фактическая (оценка)</th>"
                       "<th>По паспорту</th></tr>");
    html += QStringLiteral("<tr><th>Группа</th><td id=\"duty-groups-actual\">") + Esc(actual) +
            QStringLiteral("</td><td id=\"duty-groups-plate\">") + Esc(plate) +
            QStringLiteral("</td></tr>");
    html += QStringLiteral("<tr><th>Из чего</th><td>") +
            Esc(e.group ? LoadStateName(e.loadState) + QStringLiteral(" × ") +
                              UtilizationName(e.utilization)
                        : QStringLiteral("—")) +
            QStringLiteral("</td><td>") +
            Esc(e.nameplateGroup ? QStringLiteral("поле 1.7 «%1»").arg(e.groupText)
                                 : QStringLiteral("—")) +
            QStringLiteral("</td></tr></table>\n");
    return html;
}

QString List(const QStringList& items, const QString& id, const QString& cls) {
    if (items.isEmpty())
        return {};
    QString html =
        QStringLiteral("<ul id=\"") + id + QStringLiteral("\"") +
        (cls.isEmpty() ? QString() : QStringLiteral(" class=\"") + cls + QStringLiteral("\"")) +
        QStringLiteral(">");
    for (const QString& item : items)
        html += QStringLiteral("<li>") + Esc(item) + QStringLiteral("</li>");
    return html + QStringLiteral("</ul>\n");
}

} // namespace

QString DutyChart(const DutyEstimate& e) {
    // A chart is a widget: none without a widget application (an offline replay).
    if (!e.lifeUsed || !e.nameplateGroup || !ChartsAvailable())
        return {};
    const double used = *e.lifeUsed * 100.0;
    QChart* chart = NewChart(QStringLiteral("Израсходовано ресурса группы %1: %2")
                                 .arg(GroupName(e.nameplateGroup), DutyShareText(*e.lifeUsed)));
    auto* countedSet = new QBarSet(QStringLiteral("по счетчику"));
    countedSet->setColor(QColor(0xC6, 0x28, 0x28));
    countedSet->append(e.lifeUsedCounted.value_or(0.0) * 100.0);
    auto* assumedSet = new QBarSet(QStringLiteral("принято за годы без счета"));
    assumedSet->setColor(QColor(0xEF, 0x9A, 0x9A));
    assumedSet->append(e.lifeUsedAssumed.value_or(0.0) * 100.0);
    auto* leftSet = new QBarSet(QStringLiteral("остаток"));
    leftSet->setColor(QColor(0x9E, 0x9E, 0x9E));
    leftSet->append(std::max(0.0, 100.0 - used));
    auto* series = new QHorizontalStackedBarSeries;
    series->append(countedSet);
    series->append(assumedSet);
    series->append(leftSet);
    auto* groups = new QBarCategoryAxis;
    groups->append(GroupName(e.nameplateGroup));
    auto* percent = new QValueAxis;
    percent->setTitleText(QStringLiteral("эквивалентных циклов группы, процентов"));
    percent->setLabelFormat(QStringLiteral("%.0f"));
    percent->setRange(0, std::max(100.0, used));
    Attach(chart, series, percent, groups);
    return ChartSvg(chart, QSize(640, 240));
}

QString DutySection(const RunSummary& summary) {
    const std::optional<DutyEstimate>& duty = summary.Duty();
    if (!duty)
        return {};
    const DutyEstimate& e = *duty;
    QString html =
        QStringLiteral("<section id=\"duty\"><h2>Режим работы крана (оценка)</h2>\n"
                       "<p>По ISO 4301-1:1986 (в той же форме FEM 1.001, ГОСТ 25546-82): "
                       "Kp — среднее (вес цикла / грузоподъемность)³ по циклам с весом; класс "
                       "нагружения Q по Kp; класс использования U по циклам за нормативный "
                       "срок; группа A по таблице стандарта из Q и U; израсходовано — циклы по "
                       "счетчику × Kp от ресурса группы по паспорту, а годы с ввода до начала "
                       "счета — по расчетному темпу группы × 1,5 (допущение).</p>\n");
    // The calendar life first: the one finding that needs no figure to read.
    if (const QString life = CalendarLifeText(e); !life.isEmpty())
        html += QStringLiteral("<p id=\"duty-life\"") + QStringLiteral("><strong>") + Esc(life) +
                QStringLiteral("</strong></p>\n");
    html += QStringLiteral("<h3>Исходные данные</h3>\n") + LinesTable(DutyInputLines(e));
    html += QStringLiteral("<h3>Оценка</h3>\n") + GroupsTable(e);
    const QString svg = DutyChart(e);
    if (!svg.isEmpty())
        html += QStringLiteral("<figure id=\"chart-duty\">") + svg + QStringLiteral("</figure>\n");
    html += LinesTable(DutyFigureLines(e), QStringLiteral("duty-figures"));
    if (!e.reasons.isEmpty())
        html += QStringLiteral("<h3>Не определено</h3>\n") +
                List(e.reasons, QStringLiteral("duty-reasons"), QStringLiteral("missing"));
    if (!e.notes.isEmpty())
        html += QStringLiteral("<h3>Как читать</h3>\n") +
                List(e.notes, QStringLiteral("duty-notes"), QString());
    if (!summary.DutyFileError().isEmpty())
        html += QStringLiteral("<p class=\"missing\">Файл ") + DutyFileName +
                QStringLiteral(" не записан: ") + Esc(summary.DutyFileError()) +
                QStringLiteral("</p>\n");
    html += QStringLiteral("<p id=\"duty-disclaimer\"><strong>") + Esc(DutyDisclaimer()) +
            QStringLiteral("</strong></p>\n");
    return html + QStringLiteral("</section>\n");
}
