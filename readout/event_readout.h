#pragma once

#include "decoding/reasons.h"
#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/event_files.h"
#include "readout/readout_host.h"
#include "readout/readout_log.h"
#include "readout/readout_observer.h"
#include "readout/readout_steps.h"
#include "readout/record_archive.h"

#include <QDateTime>

#include <cstdint>

using EventRange = ReadRange;
// Not wrapped: from the pointer down to 0x30000. Wrapped: on from 0xFFFEC down
// to the first slot of the page above the pointer's page.
[[nodiscard]] EventRange EventReadRange(std::uint32_t pointer, bool wrapped);
// The next older slot: 11 bytes down, or from a page start to the last slot
// of the page below; 0x30000 leads to 0xFFFEC once the memory has wrapped.
[[nodiscard]] std::uint32_t PreviousEventSlot(std::uint32_t address, bool wrapped);
// How many records a readout reads from the event pointer.
[[nodiscard]] int EventRecordCount(std::uint32_t pointer, bool wrapped);
// "Данные прочитаны в файл..." naming the files written.
[[nodiscard]] QString EventFinalMessage(const OutputChoice& choice);

// Reads the whole event memory of the recorder, newest record first, into
// the chosen event files, logging every step. The window's bracket surrounds
// it: Run between Disable and ShutDown, Finish from ShutDown.
class EventReadout {
public:
    EventReadout(ReadoutHost& host, RecorderRequests& requests, const bool& breakRequested,
                 MessageGateway& messages, PrintPager& pager, const MessageTexts& texts,
                 IdentData& ident);

    void Run(const OutputChoice& choice, bool withReach, const QDateTime& now);
    // Completes the print page and closes the files and the log; again is
    // harmless. Returns how the readout ended.
    ReadoutResult Finish();

    // Every readout adds to the archive; with sinceLast it also takes from it.
    void SetArchive(const ArchiveUse& use) { archive_ = use; }

    [[nodiscard]] bool LogOpen() const { return log_.IsOpen(); }
    // Told of the records taken and, after Finish, of the outcome.
    void SetObserver(ReadoutObserver* observer) { observed_.SetObserver(observer); }

private:
    bool prepare(ReadoutSteps& steps, const QDateTime& now, std::uint32_t& start, bool& wrapped);
    void readRecords(ReadoutSteps& steps, std::uint32_t start, bool wrapped);
    void logFileErrors();

    ReadoutHost& host_;
    RecorderRequests& requests_;
    DTrans& link_;
    const bool& breakRequested_;
    MessageGateway& messages_;
    const MessageTexts& texts_;
    IdentData& ident_;
    EventFiles files_;
    ReadoutLog log_;
    OutputChoice choice_;
    bool withReach_ = false;
    ObservedReadout observed_{ReadoutKind::Events};
    ArchiveUse archive_;
    bool logFailed_ = false;
};
