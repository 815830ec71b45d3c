#include "summary/run_summary.h"

#include "summator/sum_files.h"

#include <algorithm>

namespace {

constexpr std::uint8_t AbsentReason = 0xFF;
constexpr int ReasonIndex = ReasonPos - 1; // in the record's own bytes
constexpr int HoursPos = 6;
constexpr int WeightTotalPos = 9;

std::uint32_t Counter(ReplyView reply, int p) {
    return (std::uint32_t(ReplyByte(reply, p)) << 16) |
           (std::uint32_t(ReplyByte(reply, p + 1)) << 8) | ReplyByte(reply, p + 2);
}

} // namespace

EventKind EventKindOf(std::uint8_t reason) {
    if (reason & ReasonRelay)
        return EventKind::Relay;
    if (reason & ReasonDigOut)
        return EventKind::DigOut;
    if (reason & ReasonDigIn)
        return EventKind::DigIn;
    return EventKind::Other;
}

QString EventKindName(EventKind kind) {
    switch (kind) {
    case EventKind::Relay:
        return QStringLiteral("Срабатывания реле");
    case EventKind::DigOut:
        return QStringLiteral("Цифровые выходы");
    case EventKind::DigIn:
        return QStringLiteral("Цифровые входы");
    case EventKind::Other:
        break;
    }
    return QStringLiteral("Прочие события");
}

std::optional<QDateTime> RecordTime(std::span<const std::uint8_t> record) {
    if (record.size() < 5)
        return std::nullopt;
    const QDate date(2000 + hex2dec(record[4]), hex2dec(record[3]), hex2dec(record[2]));
    const QTime time(hex2dec(record[1]), hex2dec(record[0]));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // The recorder's clock knows no time zone: its times are kept as UTC, so
    // that none falls into a gap of the computer's daylight saving.
    return QDateTime(date, time, Qt::UTC);
}

RecordCopy ReplyOf(std::span<const std::uint8_t> record, std::uint8_t flags) {
    RecordCopy copy;
    copy.fill(0xFF);
    copy[0] = 0;
    std::copy_n(record.begin(), std::min<std::size_t>(record.size(), PresenceFlagsPos - 1),
                copy.begin() + 1);
    copy[PresenceFlagsPos] = flags;
    return copy;
}

void RunSummary::ReadoutStarted(ReadoutKind kind, const QDateTime& computerTime) {
    // A second readout of a memory replaces the first on the page.
    MemorySummary& m = memory(kind);
    m = MemorySummary{};
    m.read = true;
    m.computerTime = computerTime;
    if (kind == ReadoutKind::Events) {
        eventDays_.clear();
        eventTotals_ = {};
        reasons_ = {};
        newestEvents_.clear();
    } else {
        sumDays_.clear();
        cycles_ = 0;
        hasSpectrum_ = false;
        dutyInput_ = DutyInput{};
        duty_.reset();
        dutyFileError_.clear();
    }
}

void RunSummary::RecordRead(ReadoutKind kind, std::uint32_t, std::span<const std::uint8_t> record) {
    MemorySummary& m = memory(kind);
    ++m.records;
    const std::optional<QDateTime> at = RecordTime(record);
    if (kind == ReadoutKind::Events)
        takeEvent(record, at);
    else
        takeSum(record, at);
}

void RunSummary::takeEvent(std::span<const std::uint8_t> record,
                           const std::optional<QDateTime>& at) {
    const std::uint8_t reason = record.size() > ReasonIndex ? record[ReasonIndex] : AbsentReason;
    if (reason == AbsentReason) {
        ++events_.blank;
        return;
    }
    if (!at)
        ++events_.undated;
    else {
        events_.oldest = events_.oldest.isValid() ? std::min(events_.oldest, *at) : *at;
        events_.newest = events_.newest.isValid() ? std::max(events_.newest, *at) : *at;
    }
    const int kind = static_cast<int>(EventKindOf(reason));
    ++eventTotals_[kind];
    if (at)
        ++eventDays_[at->date()][kind];
    ReasonCount& count = reasons_[reason & ~ReasonRemoval];
    ++((reason & ReasonRemoval) ? count.removals : count.onsets);
    if (newestEvents_.size() < NewestEventLimit) {
        EventBytes bytes;
        bytes.fill(0xFF);
        std::copy_n(record.begin(), std::min(record.size(), bytes.size()), bytes.begin());
        newestEvents_.push_back(bytes);
    }
}

void RunSummary::takeSum(std::span<const std::uint8_t> record, const std::optional<QDateTime>& at) {
    TakeSumRecord(dutyInput_, record);
    const RecordCopy copy = ReplyOf(record, 0xFF);
    const ReplyView reply(copy);
    const bool cycle = !NoCycle(reply);
    if (!cycle)
        ++sums_.blank;
    else
        ++cycles_;
    if (!at) {
        ++sums_.undated;
        return;
    }
    sums_.oldest = sums_.oldest.isValid() ? std::min(sums_.oldest, *at) : *at;
    sums_.newest = sums_.newest.isValid() ? std::max(sums_.newest, *at) : *at;
    SumDay& day = sumDays_[at->date()];
    if (cycle)
        ++day.cycles;
    // The counters only grow: the day ends with its largest.
    day.hours = std::max(day.hours, Counter(reply, HoursPos));
    day.weight = std::max(day.weight, Counter(reply, WeightTotalPos));
}

void RunSummary::ReadoutFinished(ReadoutKind kind, ReadoutOutcome outcome, bool wrapped) {
    MemorySummary& m = memory(kind);
    m.finished = true;
    m.outcome = outcome;
    m.wrapped = wrapped;
}

void RunSummary::NoteReadout(ReadoutKind kind, int comPort, const QString& clockText,
                             const IdentData& ident) {
    MemorySummary& m = memory(kind);
    m.comPort = comPort;
    // Clock and identification are read before the records; a readout that
    // took none may have ended before them, and the texts are then older.
    if (m.records == 0)
        return;
    m.clockText = clockText;
    ident_ = ident;
    hasIdent_ = true;
}

void RunSummary::NoteSpectrum(const LoadSpectrum& spectrum, RatingBasis basis,
                              std::int32_t fullScale, const QString& eraseTimeText) {
    // Without a record the readout never reset its spectrum: it is an older one.
    if (sums_.records == 0)
        return;
    spectrum_ = spectrum;
    basis_ = basis;
    fullScale_ = fullScale;
    eraseTimeText_ = eraseTimeText;
    hasSpectrum_ = true;
}

void RunSummary::SetEventTexts(const MessageTexts& texts, bool withReach) {
    texts_ = texts;
    withReach_ = withReach;
}

void RunSummary::NoteDuty(const DutyEstimate& estimate, const QString& fileError) {
    duty_ = estimate;
    dutyFileError_ = fileError;
}

void RunSummary::NoteOutsideFile(const QString& path) {
    if (!outsideFiles_.contains(path))
        outsideFiles_.append(path);
}
