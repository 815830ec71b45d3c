#pragma once

#include "decoding/reasons.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

// What the files of one readout must hold after whatever ended it: records
// of the recorder's memory only, in the order the readout walks it (newest
// first), none twice, none garbled, and the spreadsheet lines of exactly
// those records.

enum class SoakMemory { Events, Sums };

struct SoakExpectation {
    SoakMemory memory = SoakMemory::Events;
    bool wrapped = false;
    std::uint32_t pointer = 0; // the newest record
    bool columns = true;       // reach (and moment) columns
    MessageTexts texts;        // reason texts of the event lines
    // The recorder's main memory: length bytes at an address.
    std::function<QByteArray(std::uint32_t address, int length)> bytes;
};

struct SoakFiles {
    int records = 0;    // records in the debug file
    int walkLength = 0; // records of a complete readout
    QString problem;    // empty when the files are sound
};

// Checks the debug and spreadsheet files (their bytes as on disk).
[[nodiscard]] SoakFiles CheckSoakFiles(const SoakExpectation& expect, const QByteArray& debugFile,
                                       const QByteArray& sheetFile);
