#include "duty/duty_input.h"

namespace {

constexpr std::uint8_t Absent = 0xFF;
constexpr std::uint32_t BlankCounter = 0xFFFFFF; // an erased record's

int Bcd(std::uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}

std::uint32_t Counter(std::span<const std::uint8_t> r, std::size_t at) {
    return std::uint32_t(r[at]) << 16 | std::uint32_t(r[at + 1]) << 8 | r[at + 2];
}

std::optional<std::uint32_t> Readable(std::uint32_t counter) {
    if (counter == BlankCounter)
        return std::nullopt;
    return counter;
}

} // namespace

void TakeSumRecord(DutyInput& input, std::span<const std::uint8_t> record) {
    if (record.size() < 16)
        return;
    const std::uint8_t weight = record[14];
    const std::uint8_t reach = record[15];
    if (!input.countersSettled) {
        input.totalWeight = Readable(Counter(record, 8));
        input.totalCycles = Readable(Counter(record, 11));
        input.countersSettled = weight != Absent && reach != Absent;
    }
    if (weight == Absent && reach == Absent)
        return;
    input.cycles.push_back({weight, ClockFromBytes(record.first(5))});
}

QDateTime ClockFromText(const QString& text) {
    const QDateTime t = QDateTime::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy hh:mm"));
    return t.isValid() ? t : QDateTime();
}

QDateTime ClockFromBytes(std::span<const std::uint8_t> b) {
    if (b.size() < 5)
        return {};
    const QDate date(2000 + Bcd(b[4]), Bcd(b[3]), Bcd(b[2]));
    const QTime time(Bcd(b[1]), Bcd(b[0]));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}
