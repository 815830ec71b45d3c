#pragma once

#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/readout_host.h"
#include "readout/readout_log.h"
#include "readout/readout_observer.h"
#include "readout/readout_steps.h"
#include "readout/record_archive.h"
#include "summator/load_rating.h"
#include "summator/sum_files.h"

#include <QDateTime>

#include <cstdint>

using SumRange = ReadRange;
// Not wrapped: from the pointer down to 0x10000. Wrapped: on from 0x2FFF0
// down to the start of the page above the pointer's page.
[[nodiscard]] SumRange SumReadRange(std::uint32_t pointer, bool wrapped);
[[nodiscard]] std::uint32_t PreviousSumSlot(std::uint32_t address, bool wrapped);
// How many records a readout reads from the summator pointer.
[[nodiscard]] int SumRecordCount(std::uint32_t pointer, bool wrapped);
// "Данные прочитаны в файлы report.xls..." naming the files written.
[[nodiscard]] QString SumFinalMessage(const OutputChoice& choice);

struct SumReadoutChoice {
    OutputChoice files;
    RatingBasis basis = RatingBasis::Moment;
    std::int32_t fullScale = 800; // the 100 % moment or weight
    // The window's 100 % value itself, when given: its spin stays usable during
    // a readout, so every record is rated, and the report headed, with the
    // value it holds at that moment. Without it fullScale applies throughout.
    const int* fullScaleSource = nullptr;
};

// Reads the whole summator history, newest first, into the summator files,
// the load spectrum and the report. The spectrum, the rows, the clock and
// erase texts stay after the readout for the reports made from them.
class SumReadout {
public:
    SumReadout(ReadoutHost& host, RecorderRequests& requests, const bool& breakRequested,
               MessageGateway& messages, PrintPager& pager, IdentData& ident);

    void Run(const SumReadoutChoice& choice, const QDateTime& now);
    // Completes the print page, closes the files, the report and the log.
    // Returns how the readout ended.
    ReadoutResult Finish();

    [[nodiscard]] const LoadSpectrum& Spectrum() const { return spectrum_; }
    [[nodiscard]] const SumRows& Rows() const { return files_.Rows(); }
    [[nodiscard]] const QString& EraseTimeText() const { return eraseTimeText_; }
    // Every readout adds to the archive; with sinceLast it also takes from it.
    void SetArchive(const ArchiveUse& use) { archive_ = use; }

    [[nodiscard]] bool LogOpen() const { return log_.IsOpen(); }
    // Told of the records taken and, after Finish, of the outcome.
    void SetObserver(ReadoutObserver* observer) { observed_.SetObserver(observer); }

private:
    bool prepare(ReadoutSteps& steps, const QDateTime& now, std::uint32_t& start, bool& wrapped);
    void readRecords(ReadoutSteps& steps, std::uint32_t start, bool wrapped);
    void logFileErrors();
    [[nodiscard]] std::int32_t fullScale() const;

    ReadoutHost& host_;
    RecorderRequests& requests_;
    DTrans& link_;
    const bool& breakRequested_;
    MessageGateway& messages_;
    IdentData& ident_;
    SumFiles files_;
    TextFile report_;
    ReadoutLog log_;
    LoadSpectrum spectrum_;
    QString eraseTimeText_;
    SumReadoutChoice choice_;
    ObservedReadout observed_{ReadoutKind::Summator};
    ArchiveUse archive_;
    bool fileFailed_ = false; // the log or the report (the files tell their own)
};
