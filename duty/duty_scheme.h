#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The classification of a crane as a whole by ISO 4301-1:1986 (the same form
// in FEM 1.001 and GOST 25546-82): a state of loading Q1..Q4 from the load
// spectrum factor Kp, a class of utilization U0..U9 from the total working
// cycles over the design life, and the group A1..A8 from both. The tables
// are the standard's own, row and column names included, so that they can be
// checked against the printed ones line by line.
namespace Iso4301 {

// State of loading: the nominal Kp of each state; Kp falls into the first
// state whose nominal value is not below it.
struct LoadState {
    const char* name;
    double nominalKp;
};
inline constexpr std::array<LoadState, 4> LoadStates = {{
    {"Q1", 0.125},
    {"Q2", 0.25},
    {"Q3", 0.5},
    {"Q4", 1.0},
}};

// Class of utilization: the largest total number of working cycles of each.
struct UtilizationClass {
    const char* name;
    std::uint32_t maxCycles; // U9 has no upper limit
};
inline constexpr std::array<UtilizationClass, 10> UtilizationClasses = {{
    {"U0", 16'000},
    {"U1", 32'000},
    {"U2", 63'000},
    {"U3", 125'000},
    {"U4", 250'000},
    {"U5", 500'000},
    {"U6", 1'000'000},
    {"U7", 2'000'000},
    {"U8", 4'000'000},
    {"U9", 0},
}};

// Group classification of the crane as a whole: row the state of loading,
// column the class of utilization; 1 is A1 ... 8 is A8.
inline constexpr std::array<std::array<std::uint8_t, 10>, 4> GroupTable = {{
    //  U0 U1 U2 U3 U4 U5 U6 U7 U8 U9
    {{1, 1, 1, 2, 3, 4, 5, 6, 7, 8}}, // Q1
    {{1, 1, 2, 3, 4, 5, 6, 7, 8, 8}}, // Q2
    {{1, 2, 3, 4, 5, 6, 7, 8, 8, 8}}, // Q3
    {{2, 3, 4, 5, 6, 7, 8, 8, 8, 8}}, // Q4
}};

// A group's budget of equivalent full-load cycles (cycles × Kp) over the
// design life; index 0 is A1.
inline constexpr std::array<std::uint32_t, 8> GroupBudgets = {
    7'800,     // A1
    15'600,    // A2
    31'250,    // A3
    62'500,    // A4
    125'000,   // A5
    250'000,   // A6
    500'000,   // A7
    1'000'000, // A8
};

constexpr int GroupCount = 8;

// Index 0..3 of the state of loading for Kp (Kp above 1.0 is Q4, index 3).
[[nodiscard]] int LoadStateIndex(double kp);
// Index 0..9 of the class of utilization for a total number of cycles.
[[nodiscard]] int UtilizationIndex(double totalCycles);
// Group 1..8 from the two indices.
[[nodiscard]] int Group(int loadStateIndex, int utilizationIndex);
// "A5" for 5 (Latin A, as the standard prints it).
[[nodiscard]] const char* GroupName(int group);
[[nodiscard]] std::uint32_t GroupBudget(int group);

} // namespace Iso4301
