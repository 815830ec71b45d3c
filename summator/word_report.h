#pragma once

#include "link/message_gateway.h"
#include "summator/sum_files.h"
#include "summator/word_application.h"
#include "summator/word_paths.h"

#include <QString>
#include <QStringList>

// Bookmarks the template must hold, in the order they are filled.
inline const QStringList WordValueBookmarks = {QStringLiteral("datestart"),
                                               QStringLiteral("dateend"), QStringLiteral("narmh"),
                                               QStringLiteral("kolcyc"), QStringLiteral("sumves")};
inline const QString WordTableBookmark = QStringLiteral("table1");

// Table rows the report holds at most.
inline constexpr int WordReportMaxRows = 51;

// Refusal when no summator readout has filled the rows in this run.
inline const QString WordReportNoData =
    QStringLiteral("Нет данных для отчета: сначала прочитайте сумматор");

// Fills the report from the rows of the last summator readout: the period and
// totals at the template's bookmarks, then up to 51 rows into the table at
// "table1", and saves it as "list.doc" beside the program (in the run folder
// when the program's folder is not writable). False when it was
// refused or a call failed; the reason has then been shown through messages.
bool MakeWordReport(WordApplication& word, const SumRows& rows, const QString& programDir,
                    MessageGateway& messages);
