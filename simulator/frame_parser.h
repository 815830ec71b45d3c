#pragma once

#include <QByteArray>

#include <cstdint>

// Splits the bytes the recorder receives into request frames. Bytes are
// ignored until the wake byte 0x01; then a frame of known length follows:
// read 04 (7 bytes), clock write 05 .. 04 (14 bytes), erase 0A and summator
// reset 0B (2 bytes). A write of any other kind has no length the recorder
// knows: it is collected until the line falls idle and then refused.
class FrameParser {
public:
    static constexpr std::uint8_t WakeByte = 0x01;
    static constexpr std::uint8_t ReadCommand = 0x04;
    static constexpr std::uint8_t WriteCommand = 0x05;
    static constexpr std::uint8_t EraseCommand = 0x0A;
    static constexpr std::uint8_t ResetCommand = 0x0B;
    static constexpr std::uint8_t ClockParameter = 0x04;

    struct Frame {
        QByteArray bytes;   // without the wake byte, checksum included
        bool sumOk = false; // all bytes add up to 0xFF
        bool known = true;  // false: a write the recorder cannot take
    };

    // Takes one byte; true when it completed a frame, which is put in *out.
    bool Feed(std::uint8_t byte, Frame* out);
    // The line was idle for a while: a frame still open is given up. True
    // when that yields a frame (an unknown write), put in *out.
    bool LineIdle(Frame* out);
    // True while a frame has begun and is not complete.
    [[nodiscard]] bool InFrame() const { return state_ != State::Waiting; }

private:
    enum class State { Waiting, Command, Body, Unknown };

    bool finish(Frame* out, bool known);

    State state_ = State::Waiting;
    QByteArray frame_;
    int expected_ = 0;
};
