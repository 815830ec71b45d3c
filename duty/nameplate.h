#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The crane's nameplate figures as the identification block holds them:
// free text typed in by whoever programmed the recorder, so every reading
// either gives a figure or nothing, never a guess.

using IdentBytes = std::array<std::uint8_t, 360>;

// Text of the block's positions first..first+width-1 (1-based), cp1251, with
// 0x00 and 0xFF (unprogrammed) as blanks, trimmed.
[[nodiscard]] QString IdentField(const IdentBytes& ident, int first, int width);

// Fields of the crane's identification that the duty estimate reads.
namespace NameplateField {
constexpr int RatedLoad = 121, RatedLoadWidth = 20;       // 1.6
constexpr int Group = 141, GroupWidth = 10;               // 1.7
constexpr int ServiceLife = 151, ServiceLifeWidth = 10;   // 1.8
constexpr int Commissioned = 161, CommissionedWidth = 10; // 1.9
} // namespace NameplateField

// Rated load in tonnes: "25 т", "25,0т", "16 t", "12.5 тс", "25000 кг".
[[nodiscard]] std::optional<double> ReadRatedLoad(const QString& text);

// Group 1..8 from "А5" (Cyrillic or Latin A, any case and blanks); the old
// marks "1К".."8К" give 1..8 with oldMark set.
struct GroupReading {
    int group = 0;
    bool oldMark = false;
};
[[nodiscard]] std::optional<GroupReading> ReadGroup(const QString& text);

// Normative service life in whole years: "10 лет", "20", "25 л.", "8 years".
[[nodiscard]] std::optional<int> ReadServiceLife(const QString& text);

// Date of commissioning: dd.mm.yyyy, d.m.yy, with '.', '/' or '-', or
// yyyy-mm-dd. A two-digit year is 20yy up to 69, else 19yy.
[[nodiscard]] std::optional<QDate> ReadCommissioning(const QString& text);
