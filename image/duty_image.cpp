#include "image/duty_image.h"

#include "link/recorder_requests.h"
#include "readout/readout_log.h"
#include "readout/readout_steps.h"
#include "summator/sum_readout.h"

#include <algorithm>

namespace {

std::span<const std::uint8_t> Span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

} // namespace

DutyImageRead DutyInputFromImage(const MemoryImage& image) {
    using namespace RecorderMap;
    DutyImageRead out;
    DutyInput& in = out.input;
    if (const auto ident = image.Bytes(IdentSelector, IdentAddress, IdentSize)) {
        std::copy_n(Span(*ident).begin(), in.ident.size(), in.ident.begin());
        in.hasIdent = true;
    }
    if (const auto clock = image.Bytes(ClockSelector, ClockAddress, ClockLength))
        in.recorderClock = ClockFromBytes(Span(*clock));
    // The erase time, read by every summator readout: the counters' start.
    if (const auto erased = image.Bytes(EraseTimeSelector, EraseTimeAddress, ClockLength))
        in.counterStart = ClockFromBytes(Span(*erased));

    const auto lastSlot = image.Bytes(MemorySelector, LastSumSlot, SumLength);
    const auto pointers = image.Bytes(PointerSelector, PointerAddress, PointerLength);
    if (!lastSlot || !pointers) {
        in.recordsWhole = false;
        out.missing = QStringLiteral("в образе нет указателя сумматора или последней записи");
        return out;
    }
    const std::uint32_t pointer = BlockPointer(Span(*pointers), true);
    if (!ValidSumPointer(pointer)) {
        in.recordsWhole = false;
        out.missing = QStringLiteral("указатель сумматора в образе некорректен");
        return out;
    }
    bool wrapped = false;
    for (const char b : *lastSlot)
        wrapped = wrapped || static_cast<std::uint8_t>(b) != ErasedByte;
    const SumRange range = SumReadRange(pointer, wrapped);
    // The readout's own walk: wrapped with the pointer in the area's last
    // slot, the end lies past the area and a walk of its own would never
    // meet it.
    (void)WalkSlots(
        range, [wrapped](std::uint32_t at) { return PreviousSumSlot(at, wrapped); },
        [&](std::uint32_t at, std::uint32_t) {
            const auto record = image.Bytes(MemorySelector, at, SumLength);
            if (!record) {
                in.recordsWhole = false;
                out.missing = QStringLiteral("в образе нет записи сумматора по адресу ") +
                              Hex5(at) + QStringLiteral("h");
                return false;
            }
            TakeSumRecord(in, Span(*record));
            ++out.records;
            if (std::any_of(record->begin(), record->end(),
                            [](char b) { return static_cast<std::uint8_t>(b) != ErasedByte; }))
                ++out.written;
            return true;
        });
    return out;
}
