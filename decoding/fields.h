#pragma once

#include <QString>

#include <cstdint>
#include <span>

// A view of the link's reply buffer: index k is reply byte k, so data byte k
// of a read is reply[k]. Index 18 holds the presence flags that the caller
// sets before formatting a record.
using ReplyView = std::span<const std::uint8_t>;

constexpr int PresenceFlagsPos = 18;
// One-byte measurements are shown only with one of these presence bits...
constexpr std::uint8_t MeasurePresent = 0x70;
// ...and the moment only with this one.
constexpr std::uint8_t MomentPresent = 0x40;
// A one-byte measurement of 0xFF means "no value"; an erased slot is all 0xFF.
constexpr std::uint8_t NoValue = 0xFF;

// Byte k of the reply. A position outside the view reads as an erased byte
// (0xFF), so a short view can never be read past its end.
[[nodiscard]] std::uint8_t ReplyByte(ReplyView reply, int k);

// BCD byte to its value, without range checks: 0x1F gives 25, 0xFF 165.
[[nodiscard]] std::uint8_t hex2dec(std::uint8_t b);
// Value to BCD; only the low byte is kept for values of 100 and more.
[[nodiscard]] std::uint8_t dec2hex(unsigned v);

// "hh:mm" from positions 2 and 1.
[[nodiscard]] QString RTime(ReplyView reply);
// "dd.mm.20yy" from positions 3, 4, 5.
[[nodiscard]] QString RDate(ReplyView reply);
// 24-bit big-endian counter at p, p+1, p+2: plain, and 8 digits zero-padded.
[[nodiscard]] QString BigNum(ReplyView reply, int p);
[[nodiscard]] QString FBigNum(ReplyView reply, int p);
// One-byte measurement at p: plain or empty; 3 digits or 3 blanks.
[[nodiscard]] QString SmallNum(ReplyView reply, int p);
[[nodiscard]] QString FSmallNum(ReplyView reply, int p);
// Product of positions 15 (weight) and 16 (reach): plain or empty; 5 digits
// or 5 blanks. Absent only when both factors are 0xFF.
[[nodiscard]] QString RMoment(ReplyView reply);
[[nodiscard]] QString FRMoment(ReplyView reply);
// Eight binary digits, bit 7 first, then "b".
[[nodiscard]] QString Dec2Bin(std::uint8_t b);
[[nodiscard]] constexpr std::uint16_t LoWord(std::uint32_t a) {
    return static_cast<std::uint16_t>(a & 0xFFFF);
}
