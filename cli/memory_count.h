#pragma once

#include <cstdint>

// How many records a readout of each memory reads, from the pointer (the
// newest record) down through its range: what the memory holds as far as
// the readouts are concerned. The pointer must be valid.
[[nodiscard]] int EventRecordCount(std::uint32_t pointer, bool wrapped);
[[nodiscard]] int SumRecordCount(std::uint32_t pointer, bool wrapped);
