#include "summary/page_update.h"

#include "readout/readout_log.h"
#include "summary/summary_page.h"

#include <exception>

void UpdateSummaryPage(RunSummary& summary, const FinishedReadout& readout, const QString& folder) {
    summary.NoteReadout(readout.kind, readout.comPort, readout.clockText, readout.ident);
    if (readout.kind == ReadoutKind::Summator && readout.sum != nullptr)
        summary.NoteSpectrum(readout.sum->Spectrum(),
                             readout.withReach ? RatingBasis::Moment : RatingBasis::Weight,
                             readout.fullScale, readout.sum->EraseTimeText());
    summary.SetEventTexts(readout.texts, readout.withReach);
    QString error;
    try {
        if (WriteSummaryPage(summary, folder, &error))
            return;
    } catch (const std::exception& e) {
        // The page is a bystander: not even a failed allocation may end the run.
        error = QString::fromLocal8Bit(e.what());
    }
    ReadoutLog log;
    if (log.Open()) {
        log.Line(QStringLiteral("Не удалось записать страницу ") + SummaryPageName +
                 QStringLiteral(": ") + error);
        (void)log.Close();
    }
}
