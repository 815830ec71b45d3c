#pragma once

// Hands a simulated recorder's memories to a summary in the order the
// readouts take them (their own range and step rules), without the link:
// for pages of full memories, whose readouts would take minutes.

#include "readout/event_readout.h"
#include "simulator/recorder_sim.h"
#include "summary/run_summary.h"
#include "summator/sum_readout.h"

#include <QByteArray>

#include <cstdint>

inline void FeedMemory(RunSummary& summary, const RecorderSimulator& sim, ReadoutKind kind,
                       const QDateTime& computerTime) {
    const bool events = kind == ReadoutKind::Events;
    const int length = events ? RecorderMap::EventLength : RecorderMap::SumLength;
    const std::uint32_t last = events ? RecorderMap::LastEventSlot : RecorderMap::LastSumSlot;
    const std::uint32_t pointer = events ? sim.EventPointer() : sim.SumPointer();
    const bool wrapped = sim.Bytes(4, last, length) != QByteArray(length, char(0xFF));
    const ReadRange range =
        events ? EventReadRange(pointer, wrapped) : SumReadRange(pointer, wrapped);
    const std::uint32_t past =
        events ? PreviousEventSlot(range.end, wrapped) : PreviousSumSlot(range.end, wrapped);
    summary.ReadoutStarted(kind, computerTime);
    // As the readouts walk: the step from the end address leads to past,
    // which for a full memory is the start itself.
    std::uint32_t a = pointer;
    do {
        const QByteArray bytes = sim.Bytes(4, a, length);
        summary.RecordRead(
            kind, a,
            {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
        a = events ? PreviousEventSlot(a, wrapped) : PreviousSumSlot(a, wrapped);
    } while (a != past);
    summary.ReadoutFinished(kind, ReadoutOutcome::Completed, wrapped);
}
