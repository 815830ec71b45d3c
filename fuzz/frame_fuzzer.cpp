// The simulator's frame parser, fed the bytes a client sends, with the line
// falling idle wherever the input says. Frames come out whole or not at all,
// and an endless write without a pause cannot grow without bound.
//
// Input: pairs of bytes; the first byte's low bit says the line fell idle
// before the second byte arrived.

#include "simulator/frame_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(const FrameParser::Frame& frame) {
    if (frame.bytes.isEmpty())
        std::abort();
    const auto command = static_cast<std::uint8_t>(frame.bytes[0]);
    if (frame.known) {
        const qsizetype expected = command == FrameParser::ReadCommand    ? 7
                                   : command == FrameParser::WriteCommand ? 14
                                                                          : 2;
        if (frame.bytes.size() != expected)
            std::abort();
    } else if (command != FrameParser::WriteCommand) {
        std::abort(); // only a write of no known kind is refused
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FrameParser parser;
    FrameParser::Frame frame;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if ((data[i] & 0x01) != 0 && parser.LineIdle(&frame))
            Check(frame);
        if (parser.Feed(data[i + 1], &frame))
            Check(frame);
    }
    if (parser.LineIdle(&frame))
        Check(frame);
    return 0;
}
