#include "link/telnet_codec.h"

namespace {

constexpr std::uint8_t Cr = 0x0D;
constexpr std::uint8_t Nul = 0x00;
// RFC 2217's values of SET-PARITY, SET-STOPSIZE and SET-CONTROL.
constexpr std::uint8_t ParityNone = 1;
constexpr std::uint8_t OneStopBit = 1;
constexpr std::uint8_t NoFlowControl = 1;
constexpr std::uint8_t DtrOn = 8;
constexpr std::uint8_t RtsOn = 11;

void Put(QByteArray& out, std::uint8_t b) {
    out.append(static_cast<char>(b));
}

// IAC SB COM-PORT-OPTION command value... IAC SE, with 0xFF doubled inside.
QByteArray ComPortCommand(std::uint8_t command, const QByteArray& value) {
    QByteArray out;
    Put(out, TelnetCodec::Iac);
    Put(out, TelnetCodec::Sb);
    Put(out, TelnetCodec::ComPort);
    Put(out, command);
    for (const char c : value) {
        out.append(c);
        if (static_cast<std::uint8_t>(c) == TelnetCodec::Iac)
            out.append(c);
    }
    Put(out, TelnetCodec::Iac);
    Put(out, TelnetCodec::Se);
    return out;
}

QByteArray OneByte(std::uint8_t b) {
    return QByteArray(1, static_cast<char>(b));
}

bool WeAccept(std::uint8_t option) {
    return option == TelnetCodec::Binary || option == TelnetCodec::SuppressGoAhead ||
           option == TelnetCodec::ComPort;
}

bool TheyMay(std::uint8_t option) {
    return option == TelnetCodec::Binary || option == TelnetCodec::SuppressGoAhead;
}

} // namespace

QByteArray TelnetCodec::Opening() {
    QByteArray out;
    for (const std::uint8_t option : {Binary, ComPort}) {
        Put(out, Iac);
        Put(out, Will);
        Put(out, option);
        usAsked_[option] = true;
    }
    Put(out, Iac);
    Put(out, Do);
    Put(out, Binary);
    themAsked_[Binary] = true;
    return out;
}

QByteArray TelnetCodec::BaudSetting(std::uint32_t baud) {
    QByteArray value;
    for (int shift = 24; shift >= 0; shift -= 8)
        Put(value, static_cast<std::uint8_t>(baud >> shift));
    return ComPortCommand(SetBaudRate, value);
}

QByteArray TelnetCodec::LineSettings(std::uint32_t baud) {
    return BaudSetting(baud) + ComPortCommand(SetDataSize, OneByte(8)) +
           ComPortCommand(SetParity, OneByte(ParityNone)) +
           ComPortCommand(SetStopSize, OneByte(OneStopBit)) +
           ComPortCommand(SetControl, OneByte(NoFlowControl)) +
           ComPortCommand(SetControl, OneByte(DtrOn)) + ComPortCommand(SetControl, OneByte(RtsOn));
}

QByteArray TelnetCodec::Encode(const char* data, qint64 length) const {
    QByteArray out;
    out.reserve(length + 4);
    for (qint64 i = 0; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(data[i]);
        Put(out, b);
        if (b == Iac)
            Put(out, Iac);
        else if (b == Cr && !usEnabled_[Binary])
            Put(out, Nul);
    }
    return out;
}

void TelnetCodec::Decode(const char* wire, qint64 length, QByteArray& data, QByteArray& answers) {
    for (qint64 i = 0; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(wire[i]);
        switch (state_) {
        case State::Cr:
            state_ = State::Data;
            if (b == Nul)
                break;
            [[fallthrough]];
        case State::Data:
            if (b == Iac) {
                state_ = State::Iac;
            } else {
                Put(data, b);
                if (b == Cr && !themEnabled_[Binary])
                    state_ = State::Cr;
            }
            break;
        case State::Iac:
            if (b == Iac) {
                Put(data, b);
                state_ = State::Data;
            } else if (b == Will || b == Wont || b == Do || b == Dont) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == Sb) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, GA and the like carry nothing for us
            }
            break;
        case State::Option:
            negotiate(verb_, b, answers);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == Iac)
                state_ = State::SubIac;
            else
                Put(sub_, b);
            break;
        case State::SubIac:
            if (b == Se) {
                subnegotiation();
                state_ = State::Data;
            } else {
                // IAC IAC is a data byte of the subnegotiation.
                Put(sub_, b);
                state_ = State::Sub;
            }
            break;
        }
    }
}

void TelnetCodec::negotiate(std::uint8_t verb, std::uint8_t option, QByteArray& answers) {
    const auto answer = [&answers, option](std::uint8_t reply) {
        Put(answers, Iac);
        Put(answers, reply);
        Put(answers, option);
    };
    switch (verb) {
    case Will: // they offer to perform the option
        if (!TheyMay(option)) {
            answer(Dont);
        } else if (!themEnabled_[option]) {
            themEnabled_[option] = true;
            if (!themAsked_[option])
                answer(Do);
        }
        themAsked_[option] = false;
        break;
    case Wont:
        if (themEnabled_[option] && !themAsked_[option])
            answer(Dont);
        themEnabled_[option] = false;
        themAsked_[option] = false;
        break;
    case Do: // they ask us to perform the option
        if (!WeAccept(option)) {
            answer(Wont);
        } else if (!usEnabled_[option]) {
            usEnabled_[option] = true;
            if (!usAsked_[option])
                answer(Will);
        }
        usAsked_[option] = false;
        break;
    case Dont:
        if (usEnabled_[option] && !usAsked_[option])
            answer(Wont);
        if (option == ComPort && (usEnabled_[option] || usAsked_[option]))
            comPortRefused_ = true;
        usEnabled_[option] = false;
        usAsked_[option] = false;
        break;
    default:
        break;
    }
}

void TelnetCodec::subnegotiation() {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != ComPort)
        return;
    const auto command = static_cast<std::uint8_t>(sub_[1]);
    if (command == SetBaudRate + ServerOffset && sub_.size() >= 6) {
        std::uint32_t baud = 0;
        for (int k = 2; k < 6; ++k)
            baud = (baud << 8) | static_cast<std::uint8_t>(sub_[k]);
        reportedBaud_ = baud;
    }
}
