// The telnet layer and the address forms, byte by byte, without a socket.

#include "link/net_address.h"
#include "link/telnet_codec.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

constexpr int Iac = 255, Will = 251, Wont = 252, Do = 253, Dont = 254, Sb = 250, Se = 240;

// A codec past the opening that the far end (as ser2net does) agreed to.
TelnetCodec AgreedCodec() {
    TelnetCodec codec;
    (void)codec.Opening();
    QByteArray data, answers;
    const QByteArray agreed = Bytes({Iac, Do, 0, Iac, Will, 0, Iac, Do, 44});
    codec.Decode(agreed.constData(), agreed.size(), data, answers);
    return codec;
}

TEST(TelnetCodecTest, EveryByteValueCrossesBothWaysAndOnlyFfIsDoubled) {
    TelnetCodec codec = AgreedCodec();
    QByteArray all;
    for (int v = 0; v < 256; ++v)
        all.append(static_cast<char>(v));
    // Runs of 0xFF too, as blank memory is.
    all += QByteArray(7, '\xFF') + Bytes({0x0D, 0x00, 0x0D, 0x0A, 0xFF, 0x0D});
    const QByteArray wire = codec.Encode(all.constData(), all.size());
    EXPECT_EQ(wire.size(), all.size() + all.count('\xFF'));
    EXPECT_EQ(wire.left(255), all.left(255));
    EXPECT_EQ(wire.mid(255, 2), Bytes({Iac, Iac}));

    // Received in pieces of every size, cut anywhere, even inside IAC IAC.
    for (int piece = 1; piece <= 5; ++piece) {
        QByteArray data, answers;
        for (qsizetype at = 0; at < wire.size(); at += piece)
            codec.Decode(wire.constData() + at, std::min<qsizetype>(piece, wire.size() - at), data,
                         answers);
        EXPECT_EQ(data, all) << piece;
        EXPECT_TRUE(answers.isEmpty());
    }
}

TEST(TelnetCodecTest, RequestsAreAnsweredOnceAndAnswersAreNotAnswered) {
    TelnetCodec codec;
    EXPECT_EQ(codec.Opening(), Bytes({Iac, Will, 0, Iac, Will, 44, Iac, Do, 0}));
    // What ser2net sends on a new connection, then once more the same.
    const QByteArray greeting = Bytes({Iac, Will, 3, Iac, Do,   3, Iac, Will, 1,  Iac, Dont, 1,
                                       Iac, Do,   0, Iac, Will, 0, Iac, Do,   44, Iac, 241});
    QByteArray data, answers;
    codec.Decode(greeting.constData(), greeting.size(), data, answers);
    EXPECT_TRUE(data.isEmpty());
    // SGA agreed both ways, ECHO refused; BINARY and COM-PORT were answers.
    EXPECT_EQ(answers, Bytes({Iac, Do, 3, Iac, Will, 3, Iac, Dont, 1}));
    EXPECT_TRUE(codec.ComPortAgreed());
    EXPECT_FALSE(codec.ComPortRefused());
    answers.clear();
    codec.Decode(greeting.constData(), greeting.size(), data, answers);
    EXPECT_EQ(answers, Bytes({Iac, Dont, 1})) << "an agreed option is not agreed again";

    // Options we never perform are refused; a far end turning one off is told so.
    answers.clear();
    const QByteArray more = Bytes({Iac, Do, 24, Iac, Wont, 3, Iac, Dont, 44});
    codec.Decode(more.constData(), more.size(), data, answers);
    EXPECT_EQ(answers, Bytes({Iac, Wont, 24, Iac, Dont, 3, Iac, Wont, 44}));
    EXPECT_TRUE(codec.ComPortRefused());
}

TEST(TelnetCodecTest, LineSettingsAndTheReportedSpeed) {
    EXPECT_EQ(
        TelnetCodec::LineSettings(2400),
        Bytes({Iac, Sb, 44,  1,  0,   0,  9,   0x60, Iac, Se,  Iac, Sb,  44, 2,   8,   Iac, Se, Iac,
               Sb,  44, 3,   1,  Iac, Se, Iac, Sb,   44,  4,   1,   Iac, Se, Iac, Sb,  44,  5,  1,
               Iac, Se, Iac, Sb, 44,  5,  8,   Iac,  Se,  Iac, Sb,  44,  5,  11,  Iac, Se}));
    // A value holding 0xFF is doubled inside the subnegotiation too.
    EXPECT_EQ(TelnetCodec::BaudSetting(0xFF), Bytes({Iac, Sb, 44, 1, 0, 0, 0, Iac, Iac, Iac, Se}));

    TelnetCodec codec = AgreedCodec();
    QByteArray data, answers;
    // Replies of the far port between data bytes: the data is untouched.
    const QByteArray wire =
        Bytes({0x11, Iac,  Sb,  44, 107, 0,   Iac, Se, 0x22, Iac, Sb,  44,  101, 0,  0,
               9,    0x60, Iac, Se, Iac, Iac, Iac, Sb, 44,   106, Iac, Iac, Iac, Se, 0x33});
    codec.Decode(wire.constData(), wire.size(), data, answers);
    EXPECT_EQ(data, Bytes({0x11, 0x22, 0xFF, 0x33}));
    EXPECT_EQ(codec.ReportedBaud(), 2400u);
    EXPECT_TRUE(answers.isEmpty());
}

TEST(TelnetCodecTest, WithoutBinaryACarriageReturnTakesANul) {
    TelnetCodec codec;
    const QByteArray data = Bytes({0x0D, 0x41, 0x0D, 0x0A});
    EXPECT_EQ(codec.Encode(data.constData(), data.size()), Bytes({0x0D, 0, 0x41, 0x0D, 0, 0x0A}));
    QByteArray in, answers;
    const QByteArray wire = Bytes({0x0D, 0, 0x41, 0x0D, 0x0A, 0x0D, Iac, Iac});
    codec.Decode(wire.constData(), wire.size(), in, answers);
    EXPECT_EQ(in, Bytes({0x0D, 0x41, 0x0D, 0x0A, 0x0D, 0xFF}));
}

TEST(NetAddressTest, TheTwoFormsAndWhatIsNoAddress) {
    const auto raw = ParseNetAddress("  tcp://moxa-7.yard.local:4001\n");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->mode, NetAddress::Raw);
    EXPECT_EQ(raw->host, "moxa-7.yard.local");
    EXPECT_EQ(raw->port, 4001);
    EXPECT_EQ(raw->Text(), "tcp://moxa-7.yard.local:4001");

    const auto telnet = ParseNetAddress("RFC2217://[fe80::1]:2217");
    ASSERT_TRUE(telnet);
    EXPECT_EQ(telnet->mode, NetAddress::Rfc2217);
    EXPECT_EQ(telnet->host, "fe80::1");
    EXPECT_EQ(telnet->HostPort(), "[fe80::1]:2217");

    for (const char* bad :
         {"", "/dev/ttyUSB0", "tcp://host", "tcp://:4001", "tcp://host:0", "tcp://host:65536",
          "tcp://host:40x", "tcp://host:4001/x", "tcp://fe80::1:4001", "udp://host:4001",
          "tcp://ho st:1", "tcp://host:+1"})
        EXPECT_FALSE(ParseNetAddress(bad)) << bad;
}

} // namespace
