#include "simulator/frame_parser.h"

namespace {

constexpr int ReadFrameSize = 7;
constexpr int CommandFrameSize = 2;
constexpr int WriteHeaderSize = 5; // command, three address bytes, parameter
constexpr int ClockDataSize = 8;

bool sumsToFF(const QByteArray& bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes) {
        sum = std::uint8_t(sum + std::uint8_t(c));
    }
    return sum == 0xFF;
}

} // namespace

bool FrameParser::finish(Frame* out, bool known) {
    out->bytes = frame_;
    out->sumOk = sumsToFF(frame_);
    out->known = known;
    frame_.clear();
    state_ = State::Waiting;
    return true;
}

bool FrameParser::Feed(std::uint8_t byte, Frame* out) {
    switch (state_) {
    case State::Waiting:
        if (byte == WakeByte) {
            state_ = State::Command;
        }
        return false;
    case State::Command:
        switch (byte) {
        case WakeByte:
            return false; // a repeated wake byte still just wakes
        case ReadCommand:
            expected_ = ReadFrameSize;
            break;
        case WriteCommand:
            expected_ = WriteHeaderSize; // the parameter decides the rest
            break;
        case EraseCommand:
        case ResetCommand:
            expected_ = CommandFrameSize;
            break;
        default:
            state_ = State::Waiting; // no command of ours: back to sleep
            return false;
        }
        frame_ = QByteArray(1, char(byte));
        state_ = State::Body;
        return false;
    case State::Body:
        frame_.append(char(byte));
        if (frame_.size() == WriteHeaderSize && std::uint8_t(frame_[0]) == WriteCommand) {
            const bool clock = frame_[1] == 0 && frame_[2] == 0 && frame_[3] == 0 &&
                               std::uint8_t(frame_[4]) == ClockParameter;
            if (!clock) {
                state_ = State::Unknown;
                return false;
            }
            expected_ = WriteHeaderSize + ClockDataSize + 1;
        }
        if (frame_.size() == expected_) {
            return finish(out, true);
        }
        return false;
    case State::Unknown:
        frame_.append(char(byte));
        return false;
    }
    return false;
}

bool FrameParser::LineIdle(Frame* out) {
    if (state_ == State::Unknown) {
        return finish(out, false);
    }
    frame_.clear();
    state_ = State::Waiting;
    return false;
}
