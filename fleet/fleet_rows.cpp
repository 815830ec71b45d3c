#include "fleet/fleet_rows.h"

#include "archive/archive_folder.h"
#include "duty/duty_input.h"
#include "image/memory_image.h"
#include "link/recorder_requests.h"

#include <algorithm>
#include <span>

using namespace RecorderMap;

namespace {

std::span<const std::uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

void Tab(QByteArray& out) {
    out += '\t';
}

void Number(QByteArray& out, std::int64_t value) {
    out += QByteArray::number(qlonglong(value));
}

void Measure(QByteArray& out, std::uint8_t value) {
    if (value == NoMeasure)
        out += "\\N";
    else
        Number(out, value);
}

void Time(QByteArray& out, const QByteArray& bytes) {
    const QByteArray t = TimestampText(ClockFromBytes(Span(bytes).first(RecordTimeLength)));
    out += t.isEmpty() ? QByteArray("\\N") : t;
}

void Counter(QByteArray& out, const QByteArray& b, int at) {
    const std::uint32_t v = RecordCounter(Span(b), std::size_t(at));
    if (v == BlankCounter)
        out += "\\N";
    else
        Number(out, v);
}

// address, bytes (COPY's text form of a bytea), time: the columns both share.
void Head(QByteArray& out, const PushRecord& r) {
    Number(out, r.address);
    out += "\t\\\\x";
    out += r.bytes.toHex();
    Tab(out);
    Time(out, r.bytes);
    Tab(out);
}

void Tail(QByteArray& out, const PushRecord& r) {
    Number(out, r.firstRead);
    Tab(out);
    Number(out, r.lastRead);
    Tab(out);
    Number(out, r.comPort);
    out += '\n';
}

} // namespace

QByteArray TimestampText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd hh:mm")).toLatin1()
                          : QByteArray();
}

bool BlankRecord(const QByteArray& bytes) {
    for (char c : bytes)
        if (std::uint8_t(c) != ErasedByte)
            return false;
    return true;
}

void AppendEventLine(QByteArray& out, const PushRecord& r) {
    Head(out, r);
    Number(out, std::uint8_t(r.bytes[EventReasonAt]));
    Tab(out);
    Measure(out, std::uint8_t(r.bytes[EventWeightAt]));
    Tab(out);
    Measure(out, std::uint8_t(r.bytes[EventReachAt]));
    Tab(out);
    Tail(out, r);
}

void AppendSumLine(QByteArray& out, const PushRecord& r, std::int64_t order) {
    Number(out, order);
    Tab(out);
    Head(out, r);
    Measure(out, std::uint8_t(r.bytes[SumWeightAt]));
    Tab(out);
    Measure(out, std::uint8_t(r.bytes[SumReachAt]));
    Tab(out);
    Counter(out, r.bytes, SumWeightTotalAt);
    Tab(out);
    Counter(out, r.bytes, SumCyclesTotalAt);
    Tab(out);
    Tail(out, r);
}

bool CraneFromImage(const MemoryImage& image, PushCrane& crane, QString& error) {
    crane = PushCrane();
    const auto ident = image.Bytes(IdentSelector, IdentAddress, IdentSize);
    if (!ident) {
        error = QStringLiteral("the image holds no identification of the recorder");
        return false;
    }
    crane.key = RecorderKey(*ident);
    crane.identification = *ident;
    const auto origin = image.Origin(IdentSelector, IdentAddress);
    crane.firstRead = crane.lastRead = origin ? origin->msecsSinceEpoch : 0;
    auto take = [&](std::uint32_t address, int length, std::vector<PushRecord>& into) {
        const auto bytes = image.Bytes(MemorySelector, address, length);
        if (!bytes || BlankRecord(*bytes))
            return;
        const ReadOrigin from = image.Origin(MemorySelector, address).value_or(ReadOrigin{});
        into.push_back({address, *bytes, from.msecsSinceEpoch, from.msecsSinceEpoch, from.comPort});
        crane.firstRead = std::min(crane.firstRead, from.msecsSinceEpoch);
        crane.lastRead = std::max(crane.lastRead, from.msecsSinceEpoch);
    };
    for (std::uint32_t page = EventStart; page < EventEnd; page += PageSize)
        for (std::uint32_t slot = page; slot <= page + LastSlotOffset; slot += EventLength)
            take(slot, EventLength, crane.events);
    for (std::uint32_t slot = SumStart; slot <= LastSumSlot; slot += SumLength)
        take(slot, SumLength, crane.sums);
    // The walk from the pointer backwards, past the start of the area on from
    // its top, is the recorder's order newest first.
    const auto pointers = image.Bytes(PointerSelector, PointerAddress, PointerLength);
    const std::uint32_t pointer = pointers ? BlockPointer(Span(*pointers), true) : 0;
    if (ValidSumPointer(pointer)) {
        const auto age = [pointer](const PushRecord& r) {
            return (pointer - r.address + (SumEnd - SumStart)) % (SumEnd - SumStart);
        };
        std::stable_sort(
            crane.sums.begin(), crane.sums.end(),
            [&age](const PushRecord& a, const PushRecord& b) { return age(a) > age(b); });
    }
    if (const auto erased = image.Bytes(EraseTimeSelector, EraseTimeAddress, ClockLength))
        crane.erased = ClockFromBytes(Span(*erased));
    return true;
}
