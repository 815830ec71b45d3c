#pragma once

#include "decoding/reasons.h"
#include "duty/duty_estimate.h"
#include "duty/duty_input.h"
#include "link/recorder_requests.h"
#include "readout/event_files.h"
#include "readout/readout_observer.h"
#include "summator/load_rating.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

// What a run's readouts took from the recorder, summed up for the run's
// summary page. It watches the readouts as their observer and keeps only
// sums (per day, per kind, per reason) and the few newest records the page
// lists, so a full memory costs a few kilobytes, not its records.

// Event kinds as the page groups them: the four message-text lists.
enum class EventKind { Relay, DigOut, DigIn, Other };
constexpr int EventKindCount = 4;
using KindCounts = std::array<int, EventKindCount>;

// The group of a reason byte, the first of relay, digital output, digital
// input that it names; "other" when it names none.
[[nodiscard]] EventKind EventKindOf(std::uint8_t reason);
// The caption of the kind's message-text button: "Срабатывания реле" ...
[[nodiscard]] QString EventKindName(EventKind kind);

// A record's date and time, when its BCD bytes make one.
[[nodiscard]] std::optional<QDateTime> RecordTime(std::span<const std::uint8_t> record);

// The record's bytes laid out as the formatting routines read them, data
// byte k at position k, with presence flags.
[[nodiscard]] RecordCopy ReplyOf(std::span<const std::uint8_t> record, std::uint8_t flags);

// One memory's readout in the run.
struct MemorySummary {
    bool read = false;     // a readout of this memory was started
    bool finished = false; // ... and has ended
    ReadoutOutcome outcome = ReadoutOutcome::Failed;
    bool wrapped = false;
    int records = 0; // records taken, blank slots included
    int blank = 0;   // absent events, summator records without a cycle
    int undated = 0; // records whose date bytes make no date
    QDateTime oldest;
    QDateTime newest;
    QDateTime computerTime;
    QString clockText;
    int comPort = 0;
};

// The summator on one day: cycles recorded and the counters at day's end.
struct SumDay {
    int cycles = 0;
    std::uint32_t hours = 0;
    std::uint32_t weight = 0;
};

// Onsets and removals of one reason code (bit 7 cleared).
struct ReasonCount {
    int onsets = 0;
    int removals = 0;
};

class RunSummary : public ReadoutObserver {
public:
    static constexpr int NewestEventLimit = 20;
    using EventBytes = std::array<std::uint8_t, RecorderMap::EventLength>;

    void ReadoutStarted(ReadoutKind kind, const QDateTime& computerTime) override;
    void RecordRead(ReadoutKind kind, std::uint32_t address,
                    std::span<const std::uint8_t> record) override;
    void ReadoutFinished(ReadoutKind kind, ReadoutOutcome outcome, bool wrapped) override;

    // What the window knew during the readout: the port, the recorder clock
    // and the identification block it read.
    void NoteReadout(ReadoutKind kind, int comPort, const QString& clockText,
                     const IdentData& ident);
    // The load spectrum the summator readout rated, against fullScale.
    void NoteSpectrum(const LoadSpectrum& spectrum, RatingBasis basis, std::int32_t fullScale,
                      const QString& eraseTimeText);
    // The message texts and the reach column the page shows events with.
    void SetEventTexts(const MessageTexts& texts, bool withReach);

    [[nodiscard]] const MemorySummary& Memory(ReadoutKind kind) const {
        return kind == ReadoutKind::Events ? events_ : sums_;
    }
    [[nodiscard]] bool HasIdent() const { return hasIdent_; }
    [[nodiscard]] const IdentData& Ident() const { return ident_; }

    // Events of each kind per day, and in all.
    [[nodiscard]] const std::map<QDate, KindCounts>& EventsPerDay() const { return eventDays_; }
    [[nodiscard]] const KindCounts& EventTotals() const { return eventTotals_; }
    // By reason code 0..127 (bit 7 cleared).
    [[nodiscard]] const std::array<ReasonCount, 128>& ReasonCounts() const { return reasons_; }
    // The newest events that are not absent, newest first.
    [[nodiscard]] const std::vector<EventBytes>& NewestEvents() const { return newestEvents_; }
    [[nodiscard]] const MessageTexts& Texts() const { return texts_; }
    [[nodiscard]] bool WithReach() const { return withReach_; }

    [[nodiscard]] const std::map<QDate, SumDay>& SumDays() const { return sumDays_; }
    [[nodiscard]] int Cycles() const { return cycles_; }
    [[nodiscard]] bool HasSpectrum() const { return hasSpectrum_; }
    [[nodiscard]] const LoadSpectrum& Spectrum() const { return spectrum_; }
    [[nodiscard]] RatingBasis Basis() const { return basis_; }
    [[nodiscard]] std::int32_t FullScale() const { return fullScale_; }
    [[nodiscard]] const QString& EraseTimeText() const { return eraseTimeText_; }

    // The summator's cycles and counters as the duty estimate takes them.
    [[nodiscard]] const DutyInput& DutySamples() const { return dutyInput_; }
    // The estimate made after the summator readout, and why duty.json could
    // not be written (empty when it was, or was not due).
    void NoteDuty(const DutyEstimate& estimate, const QString& fileError);
    [[nodiscard]] const std::optional<DutyEstimate>& Duty() const { return duty_; }
    [[nodiscard]] const QString& DutyFileError() const { return dutyFileError_; }

    // A file of the run written outside its folder (the word report beside
    // a build tree's program), by its full path; the page links it there.
    void NoteOutsideFile(const QString& path);
    [[nodiscard]] const QStringList& OutsideFiles() const { return outsideFiles_; }

private:
    [[nodiscard]] MemorySummary& memory(ReadoutKind kind) {
        return kind == ReadoutKind::Events ? events_ : sums_;
    }
    void takeEvent(std::span<const std::uint8_t> record, const std::optional<QDateTime>& at);
    void takeSum(std::span<const std::uint8_t> record, const std::optional<QDateTime>& at);

    MemorySummary events_;
    MemorySummary sums_;
    IdentData ident_{};
    bool hasIdent_ = false;

    std::map<QDate, KindCounts> eventDays_;
    KindCounts eventTotals_{};
    std::array<ReasonCount, 128> reasons_{};
    std::vector<EventBytes> newestEvents_;
    MessageTexts texts_ = MessageTexts::Defaults();
    bool withReach_ = true;

    std::map<QDate, SumDay> sumDays_;
    int cycles_ = 0;
    LoadSpectrum spectrum_;
    bool hasSpectrum_ = false;
    RatingBasis basis_ = RatingBasis::Moment;
    std::int32_t fullScale_ = 0;
    QString eraseTimeText_;
    DutyInput dutyInput_;
    std::optional<DutyEstimate> duty_;
    QString dutyFileError_;
    QStringList outsideFiles_;
};
