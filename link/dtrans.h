#pragma once

#include "link/block_source.h"
#include "link/pordt.h"
#include "link/read_observer.h"
#include "link/tick_timer.h"

#include <QTimer>

#include <array>
#include <cstdint>
#include <vector>

// Result codes of an exchange.
enum LinkResult : std::uint8_t {
    LinkOk = 0,
    LinkTimeout = 1,  // a reply byte did not arrive in time (also: output still queued)
    LinkBadReply = 2, // wrong byte sum, or Break pressed
};

// The frame exchange with the recorder. A request frame (command, operands,
// checksum) goes out behind the wake byte 0x01; the reply of known length is
// collected byte by byte, each byte under its own time limit, and accepted
// when all its bytes add up to 0xFF.
//
// Every wait blocks in the event loop, so window messages keep flowing and a
// Break handler can set the flag the caller owns; no wait spins the processor.
class DTrans {
public:
    static constexpr std::uint16_t NormalTimeout = 5;
    static constexpr std::uint16_t CommandTimeout = 30;
    // Position in RxBuffer where callers put the presence flags before
    // formatting a record; past the end of the longest reply's data.
    static constexpr int PresenceFlagsIndex = 18;

    DTrans(Pordt& port, const bool& breakRequested);

    std::array<std::uint8_t, 32> TxBuffer{};
    // Reply byte k lands at index k; data byte k of a read is RxBuffer[k].
    std::array<std::uint8_t, 32> RxBuffer{};
    // The longest read whose reply (data plus three bytes) fits RxBuffer.
    static constexpr std::uint16_t MaxReadLength = 32 - 3;
    // Seconds per reply byte; 0 and 1 mean a fixed 10 ticks.
    std::uint16_t ReplyTimeout = NormalTimeout;
    std::uint16_t FrameAttempts = 5;
    std::uint8_t WakeByte = 0x01;
    // Result of the most recent ReadBlock.
    std::int32_t LastLinkResult = LinkOk;

    // TxBuffer[1..lastIndex] hold the operands. Sends command, operands and
    // checksum behind the wake byte and collects replyLength bytes.
    std::uint8_t ExchangeFrame(std::uint8_t command, std::uint16_t lastIndex,
                               std::uint16_t replyLength);
    // Reads length bytes (data in RxBuffer[1..length]); up to FrameAttempts tries.
    // A length of 0, or more than MaxReadLength, gives LinkBadReply at once.
    std::uint8_t ReadBlock(std::uint32_t address, std::uint16_t length, std::uint8_t selector);
    // Writes count bytes; 0 on success, else 1. Leaves LastLinkResult alone.
    std::uint8_t WriteBlock(std::uint32_t address, std::uint16_t count, std::uint8_t parameter,
                            const std::uint8_t* data);
    void SendWakeByte(std::uint8_t b);
    // A pause of n ticks (55-110 ms for one) that keeps window messages
    // flowing; Break does not cut it short.
    void WaitTicks(std::int32_t n);
    // Complement of the byte sum of TxBuffer[0..lastIndex].
    [[nodiscard]] std::uint8_t FrameChecksum(std::uint16_t lastIndex) const;

    [[nodiscard]] Pordt& Port() { return port_; }

    // Told of every successful ReadBlock; not owned, removed before they go.
    void AddReadObserver(ReadObserver* observer);
    void RemoveReadObserver(ReadObserver* observer);
    // A block a readout took from the archive in place of a read: the
    // observers that keep what a readout took are told (see ReadObserver).
    void TakenFromArchive(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                          std::uint16_t length, std::int64_t readAt);
    // Answers ReadBlock instead of the port, and makes WaitTicks return at
    // once; nullptr goes back to the line. Not owned.
    void SetBlockSource(BlockSource* source) { source_ = source; }

private:
    // Blocks in the event loop until an event arrives or the timer comes due,
    // or atMostMs real milliseconds passed when that is positive.
    void waitForEvent(const TickTimer& timer, std::int64_t atMostMs = 0);
    // The limit of one reply byte, running from fromTick.
    void startByteLimit(TickTimer& timer, std::int32_t fromTick) const;

    Pordt& port_;
    const bool& breakRequested_;
    QTimer wakeTimer_;
    std::vector<ReadObserver*> observers_;
    BlockSource* source_ = nullptr;
    // Replies come in parts at the pace of the line, as on a real line.
    bool linePaced_ = false;
};
