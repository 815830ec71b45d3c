#include "pty_client.h"
#include "simulator/frame_parser.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Feeds the bytes one by one and returns the frames completed.
std::vector<FrameParser::Frame> feedAll(FrameParser& parser, const QByteArray& bytes) {
    std::vector<FrameParser::Frame> frames;
    for (char c : bytes) {
        FrameParser::Frame f;
        if (parser.Feed(std::uint8_t(c), &f)) {
            frames.push_back(f);
        }
    }
    return frames;
}

struct KnownFrame {
    const char* name;
    const char* wire; // as sent, wake byte first
};

// The fixed requests of the program, as they travel.
const KnownFrame knownFrames[] = {
    {"read clock", "01 04 00 00 00 05 07 EF"},
    {"read pointer block", "01 04 00 00 00 08 06 ED"},
    {"read erase time", "01 04 1D 00 00 05 05 D4"},
    {"read current summator record", "01 04 23 00 00 10 04 C4"},
    {"read current event record", "01 04 78 00 00 0B 04 74"},
    {"read last event slot", "01 04 EC FF 0F 0B 04 F2"},
    {"read last summator slot", "01 04 F0 FF 02 10 04 F6"},
    {"read identification block 0", "01 04 02 06 00 0A 03 E6"},
    {"erase", "01 0A F5"},
    {"summator reset", "01 0B F4"},
};

} // namespace

TEST(FrameParser, KnownRequestsMakeOneGoodFrameEach) {
    for (const auto& k : knownFrames) {
        SCOPED_TRACE(k.name);
        FrameParser parser;
        const QByteArray wire = FromHex(k.wire);
        const auto frames = feedAll(parser, wire);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].bytes, wire.mid(1));
        EXPECT_TRUE(frames[0].sumOk);
        EXPECT_TRUE(frames[0].known);
        EXPECT_FALSE(parser.InFrame());
    }
}

TEST(FrameParser, ClockWriteIsFourteenBytes) {
    // 7 December 2026, 12:31
    FrameParser parser;
    const QByteArray wire = WriteRequest(0, 4, FromHex("31 12 07 12 26 00 00 00"));
    ASSERT_EQ(wire.size(), 15);
    const auto frames = feedAll(parser, wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes.size(), 14);
    EXPECT_TRUE(frames[0].sumOk);
}

TEST(FrameParser, BytesBeforeTheWakeByteAreIgnored) {
    FrameParser parser;
    const QByteArray wire = FromHex("04 00 FF 23 0B F4") + FromHex("01 04 00 00 00 05 07 EF");
    const auto frames = feedAll(parser, wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Hex(frames[0].bytes), "04 00 00 00 05 07 EF");
}

TEST(FrameParser, RepeatedWakeBytesStillWake) {
    FrameParser parser;
    const auto frames = feedAll(parser, FromHex("01 01 01 0A F5"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Hex(frames[0].bytes), "0A F5");
}

TEST(FrameParser, BadSumIsReportedAndParsingGoesOn) {
    FrameParser parser;
    const auto frames = feedAll(parser, FromHex("01 04 00 00 00 05 07 EE 01 0B F4"));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].sumOk);
    EXPECT_TRUE(frames[1].sumOk);
}

TEST(FrameParser, UnknownCommandGoesBackToWaiting) {
    FrameParser parser;
    const auto frames = feedAll(parser, FromHex("01 33 04 00 00 00 05 07 EF"));
    EXPECT_TRUE(frames.empty()); // no wake byte after the unknown command
    EXPECT_FALSE(parser.InFrame());
}

TEST(FrameParser, OtherWritesAreRefusedWhenTheLineFallsIdle) {
    FrameParser parser;
    const QByteArray wire = WriteRequest(0x1234, 9, FromHex("01 02 03"));
    EXPECT_TRUE(feedAll(parser, wire).empty());
    EXPECT_TRUE(parser.InFrame());
    FrameParser::Frame f;
    ASSERT_TRUE(parser.LineIdle(&f));
    EXPECT_FALSE(f.known);
    EXPECT_TRUE(f.sumOk);
    EXPECT_EQ(f.bytes, wire.mid(1));
    EXPECT_FALSE(parser.InFrame());
}

TEST(FrameParser, AHalfFrameIsDroppedWhenTheLineFallsIdle) {
    FrameParser parser;
    EXPECT_TRUE(feedAll(parser, FromHex("01 04 00 00")).empty());
    FrameParser::Frame f;
    EXPECT_FALSE(parser.LineIdle(&f));
    const auto frames = feedAll(parser, FromHex("01 0B F4"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Hex(frames[0].bytes), "0B F4");
}
