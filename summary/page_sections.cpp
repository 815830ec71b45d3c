#include "summary/page_sections.h"

#include "decoding/russian_numbers.h"
#include "readout/ident_block.h"
#include "summary/summary_charts.h"
#include "summator/report_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace {

const QChar Tab = QLatin1Char('\t');

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString Cell(const QString& tag, const QString& text, const QString& id = QString()) {
    static const QRegularExpression number(QStringLiteral(u"^-?[0-9][0-9 \u00A0.,%]*$"));
    QString open = QLatin1Char('<') + tag;
    if (!id.isEmpty())
        open += QStringLiteral(" id=\"") + id + QLatin1Char('"');
    if (tag == QLatin1String("td") && number.match(text).hasMatch())
        open += QStringLiteral(" class=\"n\"");
    return open + QLatin1Char('>') + Esc(text) + QStringLiteral("</") + tag + QLatin1Char('>');
}

QString Row(const QString& heading, const QString& value, const QString& id) {
    return QStringLiteral("<tr>") + Cell(QStringLiteral("th"), heading) +
           Cell(QStringLiteral("td"), value, id) + QStringLiteral("</tr>");
}

QString Figure(const QString& svg, const QString& id) {
    if (svg.isEmpty())
        return ChartsAvailable() ? QString()
                                 : QStringLiteral("<p class=\"missing\">Диаграмма не построена: "
                                                  "нет графической среды.</p>");
    return QStringLiteral("<figure id=\"") + id + QStringLiteral("\">") + svg +
           QStringLiteral("</figure>\n");
}

QString DateTimeText(const QDateTime& at) {
    return at.isValid() ? at.toString(QStringLiteral("dd.MM.yyyy hh:mm")) : QStringLiteral("—");
}

QString OutcomeText(const MemorySummary& m) {
    if (!m.finished)
        return QStringLiteral("идет");
    switch (m.outcome) {
    case ReadoutOutcome::Completed:
        return QStringLiteral("завершено полностью");
    case ReadoutOutcome::Break:
        return QStringLiteral("прервано кнопкой «Прервать»");
    case ReadoutOutcome::Failed:
        break;
    }
    return QStringLiteral("не завершено из-за ошибки");
}

QString NotRead(const QString& what) {
    return QStringLiteral("<p class=\"missing\">") + what +
           QStringLiteral(" в этом запуске не читался.</p>\n");
}

QString PeriodText(const MemorySummary& m) {
    if (!m.oldest.isValid())
        return QStringLiteral("—");
    return QStringLiteral("с ") + DateTimeText(m.oldest) + QStringLiteral(" по ") +
           DateTimeText(m.newest);
}

QString Share(int part, int whole) {
    return RussianNumber(whole == 0 ? 0.0 : 100.0 * part / whole, 1) + QStringLiteral(" %");
}

// A counter as the report file writes it (plain digits), counted in words;
// anything else is shown as it is, before the noun's plural.
QString CounterCount(const QString& digits, const NounForms& noun) {
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    return ok ? RussianCount(n, noun) : digits + QLatin1Char(' ') + noun.many;
}

// The steps of the time charts: one choice for the whole period of a memory.
BucketUnit UnitOf(const MemorySummary& m) {
    return m.oldest.isValid() ? ChooseBucketUnit(m.oldest.date(), m.newest.date())
                              : BucketUnit::Day;
}

QString KindId(EventKind kind) {
    static const char* const ids[] = {"relay", "digout", "digin", "other"};
    return QStringLiteral("events-") + QLatin1String(ids[static_cast<int>(kind)]);
}

QString EventKindTable(const RunSummary& summary) {
    QString html = QStringLiteral("<table><tr><th>Вид события</th><th>Записей</th></tr>");
    int all = 0;
    for (int k = 0; k < EventKindCount; ++k) {
        const auto kind = static_cast<EventKind>(k);
        const int count = summary.EventTotals()[k];
        all += count;
        html += QStringLiteral("<tr><td><span class=\"swatch\" style=\"background:") +
                EventKindColour(kind).name() + QStringLiteral("\"></span>") +
                Esc(EventKindName(kind)) + QStringLiteral("</td>") +
                Cell(QStringLiteral("td"), RussianNumber(count), KindId(kind)) +
                QStringLiteral("</tr>");
    }
    html += QStringLiteral("<tr><th>Всего</th>") +
            Cell(QStringLiteral("td"), RussianNumber(all), QStringLiteral("events-total")) +
            QStringLiteral("</tr></table>\n");
    return html;
}

// Every reason that occurred, by its text in the current settings.
QString ReasonTable(const RunSummary& summary) {
    QList<QStringList> rows;
    for (int k = 0; k < EventKindCount; ++k) {
        for (int code = 0; code < 128; ++code) {
            const ReasonCount& c = summary.ReasonCounts()[code];
            if ((c.onsets == 0 && c.removals == 0) ||
                static_cast<int>(EventKindOf(std::uint8_t(code))) != k)
                continue;
            QString text;
            if (!ReasonText(std::uint8_t(code), summary.Texts(), text))
                text = BadRecordText();
            if (text.isEmpty())
                text = QStringLiteral("код %1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
            rows << QStringList{EventKindName(static_cast<EventKind>(k)), text,
                                RussianNumber(c.onsets), RussianNumber(c.removals)};
        }
    }
    return HtmlTable({QStringLiteral("Вид"), QStringLiteral("Событие"), QStringLiteral("Начало"),
                      QStringLiteral("Снятие")},
                     rows);
}

// The newest events as the spreadsheet file lists them.
QString NewestEventsTable(const RunSummary& summary) {
    QList<QStringList> rows;
    for (const RunSummary::EventBytes& bytes : summary.NewestEvents()) {
        const RecordCopy reply = ReplyOf(bytes, bytes[ReasonPos - 1]);
        rows << EventSheetLine(ReplyView(reply), summary.Texts(), summary.WithReach()).split(Tab);
    }
    // The spreadsheet's empty spacer column means nothing on the page.
    QStringList header = EventSheetHeading(summary.WithReach()).split(Tab);
    for (qsizetype column = header.size() - 1; column >= 0; --column) {
        const bool empty = std::all_of(rows.cbegin(), rows.cend(), [column](const QStringList& r) {
            return r.value(column).trimmed().isEmpty();
        });
        if (!header[column].trimmed().isEmpty() || !empty)
            continue;
        header.removeAt(column);
        for (QStringList& row : rows) {
            if (column < row.size())
                row.removeAt(column);
        }
    }
    return HtmlTable(header, rows);
}

QString SpectrumTable(const RunSummary& summary) {
    const auto& classes = summary.Spectrum().LoadClasses();
    int all = 0;
    for (const TRepoSum& c : classes)
        all += c.count;
    QString html = QStringLiteral("<table><tr><th>Класс</th><th>Циклов</th><th>Доля</th>"
                                  "<th>Последний цикл</th></tr>");
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const TRepoSum& c = classes[i];
        html += QStringLiteral("<tr>") + Cell(QStringLiteral("td"), c.label) +
                Cell(QStringLiteral("td"), RussianNumber(c.count),
                     QStringLiteral("class-%1").arg(i + 1)) +
                Cell(QStringLiteral("td"), Share(c.count, all)) +
                Cell(QStringLiteral("td"), (c.date + QLatin1Char(' ') + c.time).trimmed()) +
                QStringLiteral("</tr>");
    }
    html += QStringLiteral("<tr><th>Всего</th>") +
            Cell(QStringLiteral("td"), RussianNumber(all), QStringLiteral("class-total")) +
            QStringLiteral("<td></td><td></td></tr></table>\n");
    return html;
}

// The ten newest rated cycles as the report file lists them.
QString LatestCyclesTable(const RunSummary& summary) {
    const ReportInput input{summary.Ident(),         summary.Spectrum(), QString(),
                            summary.EraseTimeText(), summary.Basis(),    summary.FullScale()};
    const QStringList lines = ReportLines(input);
    const int first = int(lines.size()) - LatestCycleLimit;
    QList<QStringList> rows;
    for (int i = first; i < lines.size(); ++i) {
        // Entries no cycle filled carry the ordinal 0.
        if (!lines[i].startsWith(QStringLiteral("0\t")))
            rows << lines[i].split(Tab);
    }
    QStringList header = lines[first - 1].split(Tab);
    header << QStringLiteral("Класс");
    return HtmlTable(header, rows);
}

} // namespace

QString HtmlTable(const QStringList& header, const QList<QStringList>& rows) {
    QString html = QStringLiteral("<div class=\"scroll\"><table>");
    if (!header.isEmpty()) {
        html += QStringLiteral("<tr>");
        for (const QString& h : header)
            html += Cell(QStringLiteral("th"), h);
        html += QStringLiteral("</tr>");
    }
    for (const QStringList& row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : row)
            html += Cell(QStringLiteral("td"), cell);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table></div>\n");
}

QString IdentSection(const RunSummary& summary) {
    QString html = QStringLiteral("<section id=\"ident\"><h2>Кран и регистратор</h2>\n");
    if (!summary.HasIdent())
        return html + QStringLiteral("<p class=\"missing\">Идентификационная информация не "
                                     "прочитана.</p></section>\n");
    html += QStringLiteral("<div class=\"scroll\"><table>");
    for (const QString& line : KranLines(summary.Ident())) {
        const QStringList parts = line.split(Tab);
        if (parts.size() == 2) // a section heading
            html += QStringLiteral("<tr><th colspan=\"3\">") +
                    Esc(parts[0] + QLatin1Char(' ') + parts[1]) + QStringLiteral("</th></tr>");
        else if (parts.size() >= 3)
            html += QStringLiteral("<tr><td>") + Esc(parts[0]) + QStringLiteral("</td><td>") +
                    Esc(parts[1]) + QStringLiteral("</td><td>") + Esc(parts[2].trimmed()) +
                    QStringLiteral("</td></tr>");
    }
    return html + QStringLiteral("</table></div></section>\n");
}

QString ReadoutsSection(const RunSummary& summary) {
    QString html = QStringLiteral("<section id=\"readouts\"><h2>Чтение</h2>\n");
    const std::pair<ReadoutKind, QString> memories[] = {
        {ReadoutKind::Events, QStringLiteral("Черный ящик")},
        {ReadoutKind::Summator, QStringLiteral("Сумматор")}};
    for (const auto& [kind, name] : memories) {
        const MemorySummary& m = summary.Memory(kind);
        const QString id =
            kind == ReadoutKind::Events ? QStringLiteral("events") : QStringLiteral("sums");
        html += QStringLiteral("<h3>") + name + QStringLiteral("</h3>\n");
        if (!m.read) {
            html += NotRead(name);
            continue;
        }
        html += QStringLiteral("<table>");
        html += Row(QStringLiteral("Время компьютера"), DateTimeText(m.computerTime), QString());
        html +=
            Row(QStringLiteral("Время регистратора"),
                m.clockText.isEmpty() ? QStringLiteral("не прочитано") : m.clockText, QString());
        // A port on the network has no COM number (0).
        html += Row(QStringLiteral("Порт"),
                    m.comPort > 0 ? QStringLiteral("COM%1").arg(m.comPort)
                                  : QStringLiteral("сетевой порт"),
                    QString());
        html += Row(QStringLiteral("Прочитано записей"), RussianNumber(m.records),
                    id + QStringLiteral("-records"));
        html += Row(QStringLiteral("Период"), PeriodText(m), id + QStringLiteral("-period"));
        if (m.undated > 0)
            html +=
                Row(QStringLiteral("Записей без верной даты"), RussianNumber(m.undated), QString());
        html += Row(QStringLiteral("Память заполнена по кругу"),
                    m.wrapped ? QStringLiteral("да") : QStringLiteral("нет"),
                    id + QStringLiteral("-wrapped"));
        html += Row(QStringLiteral("Чтение"), OutcomeText(m), id + QStringLiteral("-outcome"));
        html += QStringLiteral("</table>\n");
    }
    return html + QStringLiteral("</section>\n");
}

QString EventsSection(const RunSummary& summary) {
    QString html = QStringLiteral("<section id=\"events\"><h2>События черного ящика</h2>\n");
    const MemorySummary& m = summary.Memory(ReadoutKind::Events);
    if (!m.read)
        return html + NotRead(QStringLiteral("Черный ящик")) + QStringLiteral("</section>\n");
    html += Figure(EventChart(summary, UnitOf(m)), QStringLiteral("chart-events"));
    html += EventKindTable(summary);
    html += QStringLiteral("<h3>По событиям</h3>\n") + ReasonTable(summary);
    html += QStringLiteral("<h3>Последние события</h3>\n") + NewestEventsTable(summary);
    return html + QStringLiteral("</section>\n");
}

QString SummatorSection(const RunSummary& summary) {
    QString html = QStringLiteral("<section id=\"summator\"><h2>Сумматор</h2>\n");
    const MemorySummary& m = summary.Memory(ReadoutKind::Summator);
    if (!m.read)
        return html + NotRead(QStringLiteral("Сумматор")) + QStringLiteral("</section>\n");
    html += Figure(SumTotalsChart(summary), QStringLiteral("chart-totals"));
    html += Figure(CyclesChart(summary, UnitOf(m)), QStringLiteral("chart-cycles"));
    html += QStringLiteral("<p>Циклов в прочитанных записях: <span id=\"sums-cycles\">") +
            RussianNumber(summary.Cycles()) + QStringLiteral("</span></p>\n");
    if (!summary.HasSpectrum())
        return html + QStringLiteral("</section>\n");
    const LoadSpectrum& spectrum = summary.Spectrum();
    html += QStringLiteral("<h3>Спектр нагружения</h3>\n");
    if (m.outcome != ReadoutOutcome::Completed)
        html += QStringLiteral("<p class=\"missing\">Чтение не завершено: спектр только по "
                               "прочитанным записям.</p>\n");
    static const NounForms cycles{QStringLiteral("цикл"), QStringLiteral("цикла"),
                                  QStringLiteral("циклов")};
    static const NounForms tonnes{QStringLiteral("тонна"), QStringLiteral("тонны"),
                                  QStringLiteral("тонн")};
    static const NounForms hours{QStringLiteral("час"), QStringLiteral("часа"),
                                 QStringLiteral("часов")};
    html += QStringLiteral("<p>Всего с ") + Esc(summary.EraseTimeText()) + QStringLiteral(" — ") +
            Esc(CounterCount(spectrum.TotalCyclesText(), cycles)) +
            QStringLiteral(", суммарный вес ") +
            Esc(CounterCount(spectrum.TotalWeightText(), tonnes)) + QStringLiteral(", наработка ") +
            Esc(CounterCount(spectrum.TotalHoursText(), hours)) + QStringLiteral(".</p>\n");
    html += Figure(SpectrumChart(summary), QStringLiteral("chart-spectrum"));
    html += SpectrumTable(summary);
    html += QStringLiteral("<h3>Последние циклы</h3>\n") + LatestCyclesTable(summary);
    return html + QStringLiteral("</section>\n");
}

QString FilesSection(const QStringList& runFiles, const QStringList& elsewhere) {
    static const QList<std::pair<QString, QString>> known = {
        {QStringLiteral("zorvan.xls"), QStringLiteral("черный ящик, для Excel")},
        {QStringLiteral("zorvan.txt"), QStringLiteral("черный ящик, для печати")},
        {QStringLiteral("zorvan.hex"), QStringLiteral("черный ящик, для отладки")},
        {QStringLiteral("summator.xls"), QStringLiteral("сумматор, для Excel")},
        {QStringLiteral("summator.txt"), QStringLiteral("сумматор, для печати")},
        {QStringLiteral("summator.hex"), QStringLiteral("сумматор, для отладки")},
        {QStringLiteral("report.xls"), QStringLiteral("отчет")},
        {QStringLiteral("list.doc"), QStringLiteral("отчет для Word")},
        {QStringLiteral("zorvlog.txt"), QStringLiteral("журнал")},
        {QStringLiteral("zorvan.ini"), QStringLiteral("настройки")},
        {QStringLiteral("duty.json"), QStringLiteral("режим работы крана, оценка")},
    };
    const auto note = [](const QString& name) {
        for (const auto& [file, text] : known)
            if (file == name)
                return QStringLiteral(" — ") + text;
        return QString();
    };
    QString html = QStringLiteral("<section id=\"files\"><h2>Файлы</h2>\n<ul>");
    for (const QString& name : runFiles) {
        html += QStringLiteral("<li><a href=\"") +
                Esc(QString::fromLatin1(QUrl::toPercentEncoding(name))) + QStringLiteral("\">") +
                Esc(name) + QStringLiteral("</a>") + Esc(note(name)) + QStringLiteral("</li>");
    }
    for (const QString& path : elsewhere) {
        const QString name = QFileInfo(path).fileName();
        if (runFiles.contains(name))
            continue;
        html +=
            QStringLiteral("<li><a href=\"") +
            Esc(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)) + QStringLiteral("\">") +
            Esc(name) + QStringLiteral("</a>") + Esc(note(name)) +
            Esc(QStringLiteral(" (в папке ") +
                QDir::toNativeSeparators(QFileInfo(path).absolutePath()) + QStringLiteral(")")) +
            QStringLiteral("</li>");
    }
    if (runFiles.isEmpty() && elsewhere.isEmpty())
        html += QStringLiteral("<li>нет файлов</li>");
    return html + QStringLiteral("</ul></section>\n");
}
