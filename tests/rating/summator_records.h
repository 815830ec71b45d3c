#pragma once

#include "decoding/fields.h"

#include <array>
#include <cstdint>

// Summator records for the tests, laid out as a 16-byte read leaves them in
// the reply: data byte k at index k, index 0 the reply's first byte.
struct SumFields {
    int day = 1;
    int month = 1;
    int year = 9; // within the century
    int hour = 0;
    int minute = 0;
    std::uint32_t hours = 0;
    std::uint32_t totalWeight = 0;
    std::uint32_t cycles = 0;
    std::uint8_t weight = 0xFF;
    std::uint8_t reach = 0xFF;
};

using SumReply = std::array<std::uint8_t, 19>;

inline std::uint8_t ToBcd(int v) {
    return static_cast<std::uint8_t>((v / 10) * 16 + v % 10);
}

inline void Put24(SumReply& reply, int pos, std::uint32_t v) {
    reply[static_cast<std::size_t>(pos)] = static_cast<std::uint8_t>(v >> 16);
    reply[static_cast<std::size_t>(pos) + 1] = static_cast<std::uint8_t>(v >> 8);
    reply[static_cast<std::size_t>(pos) + 2] = static_cast<std::uint8_t>(v);
}

inline SumReply MakeSumReply(const SumFields& f) {
    SumReply reply{};
    reply[1] = ToBcd(f.minute);
    reply[2] = ToBcd(f.hour);
    reply[3] = ToBcd(f.day);
    reply[4] = ToBcd(f.month);
    reply[5] = ToBcd(f.year);
    Put24(reply, 6, f.hours);
    Put24(reply, 9, f.totalWeight);
    Put24(reply, 12, f.cycles);
    reply[15] = f.weight;
    reply[16] = f.reach;
    // Scratch byte: the rating must not depend on it.
    reply[18] = 0x00;
    return reply;
}

inline SumFields Cycle(std::uint8_t weight, std::uint8_t reach) {
    SumFields f;
    f.weight = weight;
    f.reach = reach;
    return f;
}
