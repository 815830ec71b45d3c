#pragma once

#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/readout_host.h"
#include "readout/readout_log.h"
#include "readout/record_archive.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

// Addresses of a memory readout, newest record first.
struct ReadRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;      // the last record read
    std::uint32_t progress = 0; // sum of the address steps of the whole readout
};
// Not wrapped: from the pointer down to the start of the area. Wrapped: on
// from the top of the area down to the start of the 64 KiB page above the
// pointer's page; the slots of the pointer's page above it hold no records.
[[nodiscard]] ReadRange MemoryReadRange(std::uint32_t pointer, bool wrapped,
                                        std::uint32_t areaStart, std::uint32_t areaEnd);

// The slots of range in the order a readout reads them, newest first:
// visit(address, older) for each, older being the next slot to read (past the
// end address when it is the last). False from visit ends the walk there, and
// the walk returns false.
template <typename Previous, typename Visit>
bool WalkSlots(const ReadRange& range, const Previous& previous, const Visit& visit) {
    // The record at the end address is the last: its step leads here.
    const std::uint32_t past = previous(range.end);
    std::uint32_t address = range.start;
    do {
        const std::uint32_t older = previous(address);
        if (!visit(address, older))
            return false;
        address = older;
    } while (address != past);
    return true;
}

// How many records a readout of range reads.
template <typename Previous> int SlotCount(const ReadRange& range, const Previous& previous) {
    int count = 0;
    (void)WalkSlots(range, previous, [&count](std::uint32_t, std::uint32_t) {
        ++count;
        return true;
    });
    return count;
}

// The steps both memory readouts take before their records. Each logs its
// outcome; a failure is told to the user where the request has no message
// of its own. False means the readout ends here.
class ReadoutSteps {
public:
    ReadoutSteps(ReadoutHost& host, RecorderRequests& requests, const bool& breakRequested,
                 ReadoutLog& log, MessageGateway& messages);

    // Opens the log for appending, creating it when missing.
    bool OpenLog();
    bool Identification(IdentData& ident);
    bool Clock();
    // The last slot of a memory: wrapped when it holds a record.
    bool LastSlot(std::uint32_t address, std::uint16_t length, bool& wrapped);
    // The pointer block: the event or the summator pointer, checked.
    bool Pointer(bool eventPointer, std::uint32_t& pointer);

    // Begins the walk of memory in the archive of use (see BeginArchivedWalk);
    // an archive that is not kept this time says why in one log line.
    std::optional<SinceLastWalk> ArchivedWalk(const ArchiveUse& use, RecordMemory memory,
                                              std::uint16_t length);

    // Reads the records of the range, newest first, each with the retries of a
    // readout, showing progress; record(address) takes each one out of the
    // reply buffer before the next request. previous(address) is the next
    // older slot; areaEnd is one past the area, where a wrapped memory goes on.
    // False when a record could not be read (Break, or ten failed
    // attempts): logged and told already.
    using SlotStep = std::function<std::uint32_t(std::uint32_t)>;
    using RecordTaker = std::function<void(std::uint32_t)>;
    // With sinceLast, a record it can take from the archive is not read (the
    // link's observers are told of it), and its counts end the walk in the log.
    bool Records(const ReadRange& range, std::uint16_t length, std::uint32_t areaEnd,
                 const SlotStep& previous, const RecordTaker& record,
                 SinceLastWalk* sinceLast = nullptr);

    // Runs the steps; an unexpected error is logged, cut to limit characters,
    // and ends the readout like any failure.
    template <typename Steps> void Guarded(int limit, Steps steps) {
        try {
            steps();
        } catch (const std::exception& e) {
            // Nothing here throws by design; a failed allocation must still
            // end the readout cleanly with what was read on disk.
            log_.Line((QStringLiteral("Ошибка: ") + QString::fromLocal8Bit(e.what())).left(limit));
        }
    }

private:
    bool records(const ReadRange& range, std::uint16_t length, std::uint32_t areaEnd,
                 const SlotStep& previous, const RecordTaker& record, SinceLastWalk* sinceLast);

    ReadoutHost& host_;
    RecorderRequests& requests_;
    DTrans& link_;
    const bool& breakRequested_;
    ReadoutLog& log_;
    MessageGateway& messages_;
};
