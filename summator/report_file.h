#pragma once

#include "link/recorder_requests.h"
#include "readout/text_file.h"
#include "summator/load_rating.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The report file of a summator readout: identification, recorder clock,
// totals since the last erase, the 100 % value, the five load classes and the
// ten newest cycles, as tab-separated lines.

inline const QString ReportFileName = QStringLiteral("report.xls");

// What the report is made of; everything is taken as the readout left it.
struct ReportInput {
    const IdentData& ident;
    const LoadSpectrum& spectrum;
    QString clockText;     // recorder clock, "dd.mm.20yy hh:mm"
    QString eraseTimeText; // last erase, "dd.mm.20yy hh:mm"
    RatingBasis basis = RatingBasis::Moment;
    std::int32_t fullScale = 0; // the 100 % moment or weight, as the basis says
};

// The lines of the report, without line ends. A readout that met only blank
// summator slots has no totals: one line saying so (ReportNoDataText) stands
// in place of the two totals lines.
[[nodiscard]] QStringList ReportLines(const ReportInput& input);

// Writes the report to the open file, line by line. On the first failed write
// the rest is skipped and false comes back; file.Name() names the file for the
// message (see ReportWriteErrorText).
[[nodiscard]] bool RepoPrint(TextFile& file, const ReportInput& input);

// "За период с " + the erase time + " данных нет".
[[nodiscard]] QString ReportNoDataText(const QString& eraseTimeText);

// "Ошибка записи в файл " followed by the file name.
[[nodiscard]] QString ReportWriteErrorText(const QString& fileName);
