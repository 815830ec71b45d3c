#pragma once

#include "link/block_source.h"
#include "link/recorder_map.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// When and where a part of the image was read: the computer's time in
// milliseconds since 1970 (UTC; 0 when unknown) and the COM port number (0
// when it came from no line, e.g. the simulator's own save).
struct ReadOrigin {
    std::int64_t msecsSinceEpoch = 0;
    int comPort = 0;

    friend bool operator==(const ReadOrigin&, const ReadOrigin&) = default;
};

// What was read from a recorder, byte by byte: per selector and address each
// byte is either read, with its value and its origin, or never read. A
// recorder's blank bytes (0xFF) are read bytes like any other; "never read"
// is kept apart. A later read of the same byte replaces the earlier one.
//
// As a block source it answers a read as the recorder did: with the bytes
// when every one of them was read, else with silence (link code 1), so a
// readout that was cut short replays as cut at the same record.
class MemoryImage : public BlockSource {
public:
    // Addresses travel as 24 bits on the line: that is the whole space.
    static constexpr std::uint32_t AddressSpace = 0x1000000;
    static constexpr std::uint8_t SilentRecorder = 1;

    // Takes in one block read. Only bytes in the recorder's areas are kept
    // (RecorderAreas); a read with none of them is not counted.
    void Record(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data, int length,
                const ReadOrigin& origin);

    // True when any byte of [begin, end) was read.
    [[nodiscard]] bool HoldsAny(std::uint8_t selector, std::uint32_t begin,
                                std::uint32_t end) const;
    // True when every byte of the range was read.
    [[nodiscard]] bool IsRead(std::uint8_t selector, std::uint32_t address, int length) const;
    // The bytes of a range that was read whole; nullopt otherwise.
    [[nodiscard]] std::optional<QByteArray> Bytes(std::uint8_t selector, std::uint32_t address,
                                                  int length) const;
    // Where and when the byte was last read; nullopt when never.
    [[nodiscard]] std::optional<ReadOrigin> Origin(std::uint8_t selector,
                                                   std::uint32_t address) const;

    // A run of bytes read, for walking the image (e.g. to save it).
    struct Run {
        std::uint8_t selector = 0;
        std::uint32_t address = 0;
        QByteArray bytes;
    };
    // Every run of consecutive read bytes, by selector and address.
    [[nodiscard]] std::vector<Run> Runs() const;
    // How many block reads went into the image.
    [[nodiscard]] int BlockCount() const { return blocks_; }
    [[nodiscard]] bool Empty() const { return blocks_ == 0; }

    // The answer to a read: 0 with data filled, or SilentRecorder.
    [[nodiscard]] std::uint8_t Answer(std::uint32_t address, std::uint16_t length,
                                      std::uint8_t selector, std::uint8_t* data) const;
    std::uint8_t AnswerRead(std::uint32_t address, std::uint16_t length, std::uint8_t selector,
                            std::uint8_t* data) override {
        return Answer(address, length, selector, data);
    }

private:
    // Held in small pages, so that what an image costs in memory follows
    // what it holds, wherever in the areas that lies: a block of one byte
    // costs one page.
    static constexpr int PageBits = 4;
    static constexpr std::uint32_t PageSize = 1u << PageBits;
    struct Page {
        Page() { origin.fill(-1); }
        std::array<char, PageSize> bytes{};
        // Per byte: index into origins_, -1 when never read.
        std::array<std::int32_t, PageSize> origin;
    };
    // Key: selector above the page number (the address without its low bits).
    static constexpr int PageNumberBits = 24 - PageBits;
    static constexpr std::uint32_t PageNumberMask = (1u << PageNumberBits) - 1;
    [[nodiscard]] static std::uint32_t pageKey(std::uint8_t selector, std::uint32_t address) {
        return static_cast<std::uint32_t>(selector) << PageNumberBits |
               (address & (AddressSpace - 1)) >> PageBits;
    }
    void store(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
               std::uint32_t count);
    [[nodiscard]] const Page* page(std::uint8_t selector, std::uint32_t address) const;

    std::map<std::uint32_t, Page> pages_;
    std::vector<ReadOrigin> origins_;
    int blocks_ = 0;
};
