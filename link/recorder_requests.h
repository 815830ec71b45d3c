#pragma once

#include "link/dtrans.h"
#include "link/message_gateway.h"

#include <QString>

#include <array>
#include <cstdint>

// The recorder's memory as the read requests see it.
namespace RecorderMap {
// Selectors (byte 5 of a read request).
constexpr std::uint8_t IdentSelector = 3;
constexpr std::uint8_t MemorySelector = 4;
constexpr std::uint8_t EraseTimeSelector = 5;
constexpr std::uint8_t PointerSelector = 6;
constexpr std::uint8_t ClockSelector = 7;

constexpr std::uint32_t ClockAddress = 0;
constexpr std::uint16_t ClockLength = 5;
constexpr std::uint32_t PointerAddress = 0;
constexpr std::uint16_t PointerLength = 8;
constexpr std::uint32_t EraseTimeAddress = 29;
constexpr std::uint32_t CurrentSumAddress = 35;
constexpr std::uint32_t CurrentEventAddress = 120;
constexpr std::uint32_t IdentAddress = 1538;
constexpr int IdentBlocks = 36;
constexpr std::uint16_t IdentBlockLength = 10;
constexpr int IdentSize = IdentBlocks * IdentBlockLength; // 360

constexpr std::uint16_t EventLength = 11;
constexpr std::uint16_t SumLength = 16;

// Summator memory: 16-byte records at 0x10000..0x2FFFF.
constexpr std::uint32_t SumStart = 0x10000;
constexpr std::uint32_t SumEnd = 0x30000; // one past the area
constexpr std::uint32_t LastSumSlot = 0x2FFF0;

// Event memory: 13 pages of 64 KiB; 5957 slots of 11 bytes per page, the last
// 9 bytes of a page hold no slot.
constexpr std::uint32_t EventStart = 0x30000;
constexpr std::uint32_t EventEnd = 0x100000; // one past the area
constexpr std::uint32_t PageSize = 0x10000;
constexpr std::uint32_t LastSlotOffset = 0xFFEC;
constexpr std::uint32_t LastEventSlot = 0xFFFEC;
constexpr int SlotsPerPage = 5957;

constexpr std::uint8_t WriteClockParameter = 4;
constexpr std::uint8_t EraseCommand = 0x0A;
constexpr std::uint8_t ResetSumCommand = 0x0B;

[[nodiscard]] constexpr bool ValidEventPointer(std::uint32_t p) {
    const std::uint32_t low = p & 0xFFFF;
    return p >= EventStart && p < EventEnd && low % 11 == 0 && low != 0xFFF7;
}
[[nodiscard]] constexpr bool ValidSumPointer(std::uint32_t p) {
    return p >= SumStart && p < SumEnd && (p & 0xF) == 0;
}
} // namespace RecorderMap

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
