#include "summator/report_file.h"

#include "readout/ident_block.h"

namespace {

const QChar Tab = QLatin1Char('\t');

// Date, time and weight, then reach and moment when rating by moment, each
// followed by a tab: the common middle of the class and cycle lines.
QString EntryColumns(const TRepoSum& e, RatingBasis basis) {
    QString s = e.date + Tab + e.time + Tab + QString::number(e.weight) + Tab;
    if (basis == RatingBasis::Moment)
        s += QString::number(e.reach) + Tab + QString::number(e.moment) + Tab;
    return s;
}

} // namespace

QStringList ReportLines(const ReportInput& input) {
    const bool byMoment = input.basis == RatingBasis::Moment;
    const LoadSpectrum& spectrum = input.spectrum;

    QStringList lines = KranLines(input.ident);
    lines << input.clockText;
    if (spectrum.HasRecords()) {
        lines << QStringLiteral("Всего с ") + input.eraseTimeText + QStringLiteral(" - ") +
                     spectrum.TotalCyclesText() + QStringLiteral(" циклов");
        lines << QStringLiteral("Суммарный вес - ") + spectrum.TotalWeightText() +
                     QStringLiteral(" тонн");
    } else {
        // Only blank slots since the erase: there are no totals to give.
        lines << ReportNoDataText(input.eraseTimeText);
    }
    lines << (byMoment ? QStringLiteral("100% момент = ") : QStringLiteral("100% вес = ")) +
                 QString::number(input.fullScale);
    lines << QString() << QString();

    // The "c" of "Циклов c " is a Latin letter, as in every report written so
    // far; sheets that read these files match on it.
    QString header = QStringLiteral("\tДата\tВремя\tВес, тонн\t");
    if (byMoment)
        header += QStringLiteral("Вылет, метров\tМомент\t");
    header += QStringLiteral("Циклов c ") + spectrum.OldestCycleText();
    lines << header;
    for (const TRepoSum& c : spectrum.LoadClasses())
        lines << c.label + Tab + EntryColumns(c, input.basis) + QString::number(c.count);
    lines << QString() << QString();

    header = QStringLiteral("№\tДата\tВремя\tВес, тонн");
    if (byMoment)
        header += QStringLiteral("\tВылет, метров\tМомент");
    lines << header;
    for (const TRepoSum& e : spectrum.LatestCycles())
        lines << QString::number(e.count) + Tab + EntryColumns(e, input.basis) + e.label;
    return lines;
}

bool RepoPrint(TextFile& file, const ReportInput& input) {
    const QStringList lines = ReportLines(input);
    for (const QString& line : lines) {
        if (!file.WriteLn(line))
            return false;
    }
    return true;
}

QString ReportNoDataText(const QString& eraseTimeText) {
    return QStringLiteral("За период с ") + eraseTimeText + QStringLiteral(" данных нет");
}

QString ReportWriteErrorText(const QString& fileName) {
    return QStringLiteral("Ошибка записи в файл ") + fileName;
}
