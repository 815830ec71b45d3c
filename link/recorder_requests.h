#pragma once

#include "link/dtrans.h"
#include "link/message_gateway.h"
#include "link/recorder_map.h"

#include <QString>

#include <array>
#include <cstdint>

// IdentData[k - 1] is byte k (1..360) of the identification area: byte
// 10*i + j is data byte j of block i.
using IdentData = std::array<std::uint8_t, RecorderMap::IdentSize>;

// Date and time for the clock write; the year is the full year.
struct ClockSetting {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
};

// The requests of the program, each with the pauses its callers put around it
// and the message it shows on failure. Results: true, or the link code.
class RecorderRequests {
public:
    RecorderRequests(DTrans& link, MessageGateway& messages);

    // 36 blocks of 10 bytes, 5 ticks before each and after the last. On a
    // failure the blocks read so far stay in ident.
    bool ReadIdentification(IdentData& ident);
    // Clock into "dd.mm.20yy hh:mm"; clockText keeps its value on failure.
    bool ReadClock(QString& clockText);
    // Current records into RxBuffer[1..11] / [1..16], one tick before and after.
    bool ReadCurrentEvent();
    bool ReadCurrentSum();
    // Time of the last erase into "dd.mm.20yy hh:mm"; no pause of its own.
    bool ReadEraseTime(QString& eraseText);
    // Writes the clock (the link's own one-tick pause first); 0 on success.
    std::uint8_t WriteClock(const ClockSetting& at);
    // Erase (0x0A) or summator reset (0x0B): one frame, 30 s per answer byte,
    // ReplyTimeout back at 5 afterwards. Returns the exchange's code.
    std::uint8_t SendCommand(std::uint8_t command);

    // Plain reads without pauses or messages; the link code.
    std::uint8_t ReadPointerBlock() {
        return link_.ReadBlock(RecorderMap::PointerAddress, RecorderMap::PointerLength,
                               RecorderMap::PointerSelector);
    }
    std::uint8_t ReadEventRecord(std::uint32_t address) {
        return link_.ReadBlock(address, RecorderMap::EventLength, RecorderMap::MemorySelector);
    }
    std::uint8_t ReadSumRecord(std::uint32_t address) {
        return link_.ReadBlock(address, RecorderMap::SumLength, RecorderMap::MemorySelector);
    }
    // The last slot of a memory (LastEventSlot, LastSumSlot): the memory has
    // wrapped when the slot holds a record. wrapped is set only when read.
    std::uint8_t ReadLastSlot(std::uint32_t address, std::uint16_t length, bool& wrapped) {
        const std::uint8_t r = link_.ReadBlock(address, length, RecorderMap::MemorySelector);
        if (r == LinkOk)
            wrapped = !ReplyBlank(length);
        return r;
    }

    // Pointer block just read: event pointer (data 1-4) and summator pointer
    // (data 5-8), each most significant byte first.
    [[nodiscard]] std::uint32_t EventPointer() const;
    [[nodiscard]] std::uint32_t SumPointer() const;
    // True when data bytes 1..length of the reply are all 0xFF.
    [[nodiscard]] bool ReplyBlank(int length) const;

    [[nodiscard]] DTrans& Link() { return link_; }

private:
    [[nodiscard]] QString clockTextFromReply() const;

    DTrans& link_;
    MessageGateway& messages_;
};
