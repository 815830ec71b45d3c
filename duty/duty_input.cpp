#include "duty/duty_input.h"

#include "link/recorder_map.h"

using namespace RecorderMap;

namespace {

int Bcd(std::uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}

std::optional<std::uint32_t> Readable(std::uint32_t counter) {
    if (counter == BlankCounter)
        return std::nullopt;
    return counter;
}

} // namespace

void TakeSumRecord(DutyInput& input, std::span<const std::uint8_t> record) {
    if (record.size() < SumLength)
        return;
    const std::uint8_t weight = record[SumWeightAt];
    const std::uint8_t reach = record[SumReachAt];
    if (!input.countersSettled) {
        input.totalWeight = Readable(RecordCounter(record, SumWeightTotalAt));
        input.totalCycles = Readable(RecordCounter(record, SumCyclesTotalAt));
        input.countersSettled = weight != NoMeasure && reach != NoMeasure;
    }
    const QDateTime time = ClockFromBytes(record.first(RecordTimeLength));
    if (const auto cycles = Readable(RecordCounter(record, SumCyclesTotalAt)))
        input.counters.push_back({time, *cycles});
    if (weight == NoMeasure && reach == NoMeasure)
        return;
    TakeCycles(input, weight, 1, time);
}

void TakeCycles(DutyInput& input, std::uint8_t weight, std::uint64_t count, const QDateTime& time) {
    if (count == 0)
        return;
    input.weightCounts[weight] += count;
    if (!time.isValid())
        return;
    if (!input.cyclesOldest.isValid() || time < input.cyclesOldest)
        input.cyclesOldest = time;
    if (!input.cyclesNewest.isValid() || time > input.cyclesNewest)
        input.cyclesNewest = time;
}

std::uint64_t CyclesTaken(const DutyInput& input) {
    std::uint64_t n = 0;
    for (const std::uint64_t c : input.weightCounts)
        n += c;
    return n;
}

QDateTime ClockFromText(const QString& text) {
    const QDateTime t = QDateTime::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy hh:mm"));
    return t.isValid() ? t : QDateTime();
}

QDateTime ClockFromBytes(std::span<const std::uint8_t> b) {
    if (b.size() < RecordTimeLength)
        return {};
    const QDate date(2000 + Bcd(b[4]), Bcd(b[3]), Bcd(b[2]));
    const QTime time(Bcd(b[1]), Bcd(b[0]));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}
