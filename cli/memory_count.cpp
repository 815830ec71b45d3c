#include "cli/memory_count.h"

#include "readout/event_readout.h"
#include "summator/sum_readout.h"

namespace {

// The walk of the readouts' record loop, without the reads.
template <typename Previous> int CountRecords(const ReadRange& range, Previous previous) {
    const std::uint32_t past = previous(range.end);
    int count = 0;
    std::uint32_t address = range.start;
    do {
        ++count;
        address = previous(address);
    } while (address != past);
    return count;
}

} // namespace

int EventRecordCount(std::uint32_t pointer, bool wrapped) {
    return CountRecords(EventReadRange(pointer, wrapped),
                        [wrapped](std::uint32_t a) { return PreviousEventSlot(a, wrapped); });
}

int SumRecordCount(std::uint32_t pointer, bool wrapped) {
    return CountRecords(SumReadRange(pointer, wrapped),
                        [wrapped](std::uint32_t a) { return PreviousSumSlot(a, wrapped); });
}
