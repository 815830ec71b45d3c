#pragma once

#include "decoding/fields.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// A reply buffer the size of the link's, with the record bytes from position 1
// as they arrive after a read. Unused positions are zero, as in a fresh buffer.
using Reply = std::array<std::uint8_t, 32>;

// Record bytes from text such as "07 14 25": two hex digits per byte.
inline Reply ReplyOf(std::string_view hex, std::uint8_t flags = 0) {
    Reply r{};
    std::size_t pos = 1;
    for (std::size_t i = 0; i + 1 < hex.size() && pos < r.size(); ++i) {
        if (hex[i] == ' ') {
            continue;
        }
        r[pos++] = static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
        ++i;
    }
    r[PresenceFlagsPos] = flags;
    return r;
}

// A parameter name from a row's input: the hex text with blanks as '_'.
inline std::string RowName(std::string_view text) {
    std::string name;
    for (char c : text) {
        name += (c == ' ' || c == '.' || c == '-') ? '_' : c;
    }
    return name;
}
