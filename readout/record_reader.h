#pragma once

#include "link/dtrans.h"
#include "link/message_gateway.h"
#include "readout/readout_log.h"

#include <cstdint>

enum class RecordRead {
    Read,   // the record is in the link's reply buffer
    Broken, // Break was pressed: logged, the user told
    Failed, // ten attempts failed: logged, the user told
};

// Reads the records of a memory readout one by one, each with up to ten
// attempts. After the third failed attempt of a record the pause before every
// attempt grows by a tick, up to five ticks, and stays for the rest of the
// readout: a recorder that was slow once is likely to stay slow.
class RecordReader {
public:
    static constexpr int MaxAttempts = 10;
    static constexpr int MaxPause = 5; // ticks

    RecordReader(DTrans& link, const bool& breakRequested, ReadoutLog& log,
                 MessageGateway& messages);

    RecordRead Read(std::uint32_t address, std::uint16_t length);

    [[nodiscard]] int ReadPause() const { return readPause_; }

private:
    DTrans& link_;
    const bool& breakRequested_;
    ReadoutLog& log_;
    MessageGateway& messages_;
    int readPause_ = 0;
};
