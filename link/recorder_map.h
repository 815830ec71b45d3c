#pragma once

#include <cstdint>
#include <span>

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

// A record's fields, by offset in its own bytes (a reply carries them one
// byte later). Both kinds begin with their time: minute, hour, day, month and
// year, in BCD. A measure of 0xFF was not taken; a counter of 0xFFFFFF is blank.
constexpr int RecordTimeLength = 5;
constexpr int EventWeightAt = 5;
constexpr int EventReachAt = 6;
constexpr int EventReasonAt = 10;
constexpr int SumWeightTotalAt = 8;
constexpr int SumCyclesTotalAt = 11;
constexpr int SumWeightAt = 14;
constexpr int SumReachAt = 15;
constexpr std::uint8_t NoMeasure = 0xFF;
constexpr std::uint8_t ErasedByte = 0xFF; // every byte of an erased slot
constexpr std::uint32_t BlankCounter = 0xFFFFFF;

// The 24-bit counter at offset at of a record, high byte first.
[[nodiscard]] constexpr std::uint32_t RecordCounter(std::span<const std::uint8_t> record,
                                                    std::size_t at) {
    return std::uint32_t(record[at]) << 16 | std::uint32_t(record[at + 1]) << 8 | record[at + 2];
}

constexpr std::uint8_t WriteClockParameter = 4;
constexpr std::uint8_t EraseCommand = 0x0A;
constexpr std::uint8_t ResetSumCommand = 0x0B;

// The pointer block: the event pointer in bytes 0-3, the summator pointer in
// bytes 4-7, high byte first.
[[nodiscard]] constexpr std::uint32_t BlockPointer(std::span<const std::uint8_t> block,
                                                   bool summator) {
    const std::size_t at = summator ? 4 : 0;
    return std::uint32_t(block[at]) << 24 | std::uint32_t(block[at + 1]) << 16 |
           std::uint32_t(block[at + 2]) << 8 | block[at + 3];
}

[[nodiscard]] constexpr bool ValidEventPointer(std::uint32_t p) {
    const std::uint32_t low = p & 0xFFFF;
    return p >= EventStart && p < EventEnd && low % 11 == 0 && low != 0xFFF7;
}
[[nodiscard]] constexpr bool ValidSumPointer(std::uint32_t p) {
    return p >= SumStart && p < SumEnd && (p & 0xF) == 0;
}
} // namespace RecorderMap

// One area of the recorder's memory that a read request can reach.
struct RecorderArea {
    std::uint8_t selector;
    std::uint32_t begin;
    std::uint32_t end; // one past the area
};

// Every area the recorder has, as listed above: nothing outside them is ever
// read, so nothing outside them is worth keeping.
inline constexpr RecorderArea RecorderAreas[] = {
    {RecorderMap::IdentSelector, RecorderMap::IdentAddress,
     RecorderMap::IdentAddress + RecorderMap::IdentSize},
    {RecorderMap::MemorySelector, RecorderMap::CurrentSumAddress,
     RecorderMap::CurrentSumAddress + RecorderMap::SumLength},
    {RecorderMap::MemorySelector, RecorderMap::CurrentEventAddress,
     RecorderMap::CurrentEventAddress + RecorderMap::EventLength},
    {RecorderMap::MemorySelector, RecorderMap::SumStart, RecorderMap::EventEnd},
    {RecorderMap::EraseTimeSelector, RecorderMap::EraseTimeAddress,
     RecorderMap::EraseTimeAddress + RecorderMap::ClockLength},
    {RecorderMap::PointerSelector, RecorderMap::PointerAddress,
     RecorderMap::PointerAddress + RecorderMap::PointerLength},
    {RecorderMap::ClockSelector, RecorderMap::ClockAddress,
     RecorderMap::ClockAddress + RecorderMap::ClockLength},
};
