#pragma once

#include <cstdint>

// Told of every block the link has read, right after the read succeeded:
// the address and selector of the request and the data bytes of the reply.
// Observers must be quick and must not touch the link: they run between
// two requests of a readout.
class ReadObserver {
public:
    virtual ~ReadObserver() = default;

    virtual void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                           std::uint16_t length) = 0;
    // A block the readout took from the archive instead of reading it, as
    // read at readAt (ms since 1970, UTC; 0 unknown). Only observers that keep
    // what a readout took (its memory image) care.
    virtual void BlockFromArchive(std::uint32_t /*address*/, std::uint8_t /*selector*/,
                                  const std::uint8_t* /*data*/, std::uint16_t /*length*/,
                                  std::int64_t /*readAt*/) {}
};
