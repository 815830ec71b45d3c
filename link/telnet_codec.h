#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// The telnet layer of a port reached by RFC 2217 (telnet's COM port control
// option), as a state machine of its own, apart from the socket.
//
// Data: every 0xFF byte is doubled on the wire (IAC IAC) and undoubled on
// receipt; nothing else is touched once BINARY is agreed both ways, which is
// asked for at once. A far end that refuses BINARY gets the network virtual
// terminal's rule for CR (CR NUL for a lone CR), both ways.
//
// Options: BINARY, SUPPRESS-GO-AHEAD and COM-PORT-OPTION (44) are agreed to,
// every other option is refused; each request is answered once, never echoed
// back and forth. The far port's replies to the settings are kept.
class TelnetCodec {
public:
    static constexpr std::uint8_t Iac = 255;
    static constexpr std::uint8_t Dont = 254;
    static constexpr std::uint8_t Do = 253;
    static constexpr std::uint8_t Wont = 252;
    static constexpr std::uint8_t Will = 251;
    static constexpr std::uint8_t Sb = 250;
    static constexpr std::uint8_t Se = 240;
    static constexpr std::uint8_t Binary = 0;
    static constexpr std::uint8_t SuppressGoAhead = 3;
    static constexpr std::uint8_t ComPort = 44;
    // COM-PORT-OPTION commands of the client; the server answers each with 100 more.
    static constexpr std::uint8_t SetBaudRate = 1;
    static constexpr std::uint8_t SetDataSize = 2;
    static constexpr std::uint8_t SetParity = 3;
    static constexpr std::uint8_t SetStopSize = 4;
    static constexpr std::uint8_t SetControl = 5;
    static constexpr std::uint8_t ServerOffset = 100;

    // What the client says first: WILL and DO BINARY, WILL COM-PORT-OPTION.
    [[nodiscard]] QByteArray Opening();
    // The far port's line: baud, 8 data bits, no parity, 1 stop bit, no flow
    // control, DTR and RTS raised, as a local port is opened.
    [[nodiscard]] static QByteArray LineSettings(std::uint32_t baud);
    // Only the speed, for a line already set up.
    [[nodiscard]] static QByteArray BaudSetting(std::uint32_t baud);

    // Data as it goes on the wire.
    [[nodiscard]] QByteArray Encode(const char* data, qint64 length) const;
    // Takes bytes from the wire: their data is appended to data, the answers
    // to the far end's requests to answers (to be sent as they are).
    void Decode(const char* wire, qint64 length, QByteArray& data, QByteArray& answers);

    // The far end agreed to COM-PORT-OPTION (DO), or refused it (DONT).
    [[nodiscard]] bool ComPortAgreed() const { return usEnabled_[ComPort]; }
    [[nodiscard]] bool ComPortRefused() const { return comPortRefused_; }
    // The speed the far port reports it runs at; 0 until it has answered.
    [[nodiscard]] std::uint32_t ReportedBaud() const { return reportedBaud_; }

private:
    enum class State { Data, Iac, Option, Sub, SubIac, Cr };
    void negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answers);
    void subnegotiation();

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    QByteArray sub_;
    // Options this side performs (WILL agreed) and the far side performs (DO agreed).
    std::array<bool, 256> usEnabled_{};
    std::array<bool, 256> themEnabled_{};
    // Requests sent and not yet answered, so an answer is not taken as a request.
    std::array<bool, 256> usAsked_{};
    std::array<bool, 256> themAsked_{};
    bool comPortRefused_ = false;
    std::uint32_t reportedBaud_ = 0;
};
