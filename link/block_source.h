#pragma once

#include <cstdint>

// Answers the link's reads in place of a recorder on the line, e.g. from a
// memory image. While one is set the link sends nothing and pauses nothing.
class BlockSource {
public:
    virtual ~BlockSource() = default;

    // A read of length data bytes at (address, selector): fills data[0 ..
    // length-1] and returns 0, or returns the link code of the failure (1 as a
    // silent recorder, 2 as a bad reply) and leaves data as it was.
    virtual std::uint8_t AnswerRead(std::uint32_t address, std::uint16_t length,
                                    std::uint8_t selector, std::uint8_t* data) = 0;
};
