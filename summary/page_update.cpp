#include "summary/page_update.h"

#include "duty/duty_report.h"
#include "readout/readout_log.h"
#include "summary/summary_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {

// The duty estimate of the summator readout just ended; duty.json is a new
// file beside the others, and a failure to write it shows on the page only.
void NoteDutyEstimate(RunSummary& summary, const FinishedReadout& readout, const QString& folder) {
    const MemorySummary& sums = summary.Memory(ReadoutKind::Summator);
    if (sums.records == 0)
        return;
    DutyInput input = summary.DutySamples();
    std::copy(readout.ident.begin(), readout.ident.end(), input.ident.begin());
    input.hasIdent = true;
    input.recorderClock = ClockFromText(readout.clockText);
    // The erase time this readout read: when the counters started from zero.
    input.counterStart = ClockFromText(summary.EraseTimeText());
    input.ratedLoadGiven = readout.ratedLoad;
    input.recordsWhole = sums.finished && sums.outcome == ReadoutOutcome::Completed;
    const DutyEstimate estimate = EstimateDuty(input);
    QString error;
    if (!DutyFileDue(estimate))
        // An earlier readout's file would no longer match the page.
        (void)QFile::remove(QDir(folder).filePath(DutyFileName));
    else if (!WriteDutyFile(estimate, folder, &error) && error.isEmpty())
        error = QStringLiteral("?");
    summary.NoteDuty(estimate, error);
}

// The page, or one line of the log "zorvlog.txt" in the current folder.
void WritePage(const RunSummary& summary, const QString& folder) {
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

} // namespace

void UpdateSummaryPage(RunSummary& summary, const FinishedReadout& readout, const QString& folder) {
    summary.NoteReadout(readout.kind, readout.comPort, readout.clockText, readout.ident);
    if (readout.kind == ReadoutKind::Summator && readout.sum != nullptr)
        summary.NoteSpectrum(readout.sum->Spectrum(),
                             readout.withReach ? RatingBasis::Moment : RatingBasis::Weight,
                             readout.fullScale, readout.sum->EraseTimeText());
    summary.SetEventTexts(readout.texts, readout.withReach);
    if (readout.kind == ReadoutKind::Summator && readout.sum != nullptr)
        NoteDutyEstimate(summary, readout, folder);
    WritePage(summary, folder);
}

void NoteWordReport(RunSummary& summary, const QString& reportPath, const QString& folder) {
    if (!summary.Memory(ReadoutKind::Events).read && !summary.Memory(ReadoutKind::Summator).read)
        return;
    const QFileInfo report(reportPath);
    if (report.absoluteDir().canonicalPath() != QDir(folder).canonicalPath())
        summary.NoteOutsideFile(report.absoluteFilePath());
    WritePage(summary, folder);
}
