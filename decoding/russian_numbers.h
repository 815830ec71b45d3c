#pragma once

#include <QString>

#include <cstdint>

// Numbers as a Russian reader reads them on the page and the terminal: a
// decimal comma, digits grouped by three with a no-break space (U+00A0) from
// 1 000 on, and the noun in the form the number asks for. Never for the files
// whose formats are fixed (the print, spreadsheet, debug and report files,
// the log, the settings): they keep their plain digits.

inline constexpr QChar RussianGroupSeparator = QChar(0x00A0);

// The three forms of a noun after a number: 1 запись, 2 записи, 5 записей.
struct NounForms {
    QString one;  // 1, 21, 101 ...
    QString few;  // 2-4, 22-24 ...; also after a fraction (1,5 записи)
    QString many; // 0, 5-20, 25-30 ..., 11-14 ...
};

// "8 554", "-12 000".
[[nodiscard]] QString RussianNumber(std::int64_t n);
// "15,3", "1 234,50": decimals digits after the comma.
[[nodiscard]] QString RussianNumber(double value, int decimals);

// The form of the noun after count.
[[nodiscard]] const QString& RussianNoun(std::int64_t count, const NounForms& forms);

// "1 запись", "8 554 записи", "0 записей".
[[nodiscard]] QString RussianCount(std::int64_t count, const NounForms& forms);
// "15,3 года", "1,0 года": a number written with a fraction takes the form
// of the fraction (the "few" form); decimals 0 counts as a whole number.
[[nodiscard]] QString RussianCount(double value, int decimals, const NounForms& forms);
