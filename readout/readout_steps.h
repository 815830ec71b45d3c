#pragma once

#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/readout_host.h"
#include "readout/readout_log.h"

#include <QString>

#include <cstdint>
#include <exception>

// The steps both memory readouts take before their records. Each logs its
// outcome; a failure is told to the user where the request has no message
// of its own. False means the readout ends here.
class ReadoutSteps {
public:
    ReadoutSteps(ReadoutHost& host, RecorderRequests& requests, ReadoutLog& log,
                 MessageGateway& messages);

    // Opens the log for appending, creating it when missing.
    bool OpenLog();
    bool Identification(IdentData& ident);
    bool Clock();
    // The last slot of a memory: wrapped when it holds a record.
    bool LastSlot(std::uint32_t address, std::uint16_t length, bool& wrapped);
    // The pointer block: the event or the summator pointer, checked.
    bool Pointer(bool eventPointer, std::uint32_t& pointer);

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
    ReadoutHost& host_;
    RecorderRequests& requests_;
    DTrans& link_;
    ReadoutLog& log_;
    MessageGateway& messages_;
};
