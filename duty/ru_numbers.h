#pragma once

#include "decoding/russian_numbers.h"

#include <QString>

#include <cstdint>

// Numbers as a Russian reader reads them in the estimate's texts: a decimal
// comma, digits grouped by a no-break space ("8 554"), and the noun in the
// form the number asks for ("1 год", "3 года", "5 лет", "15,3 года"). The
// files of fixed format keep their own numbers; these are for the texts only.

// The group separator used throughout: U+00A0, so that a number never
// breaks across lines.
inline constexpr char16_t RuGroupSeparator = u'\u00A0';
static_assert(RuGroupSeparator == RussianGroupSeparator.unicode());

// decimals digits after the comma, grouped: RuNumber(1234.5, 1) "1 234,5".
[[nodiscard]] QString RuNumber(double value, int decimals);
// A whole number, grouped: "8 554".
[[nodiscard]] QString RuCount(std::int64_t value);

// The noun's form for a whole number: one (1, 21, 101), few (2-4, 22-24) or
// many (0, 5-20, 11-14, 25...).
[[nodiscard]] QString RuPlural(std::int64_t n, const QString& one, const QString& few,
                               const QString& many);

// Years to one decimal with their noun: "1 год", "5 лет", "15,3 года"
// (a fraction takes the form of "few").
[[nodiscard]] QString RuYears(double years);

// At most maxDecimals after the comma, trailing zeros dropped: "12,5", "25".
[[nodiscard]] QString RuShortest(double value, int maxDecimals);
