#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// A port reached over the network, through a serial device server or a
// computer running ser2net:
//   tcp://HOST:PORT      the far port's bytes as they are (a raw TCP server);
//   rfc2217://HOST:PORT  telnet with the COM port control option of RFC 2217,
//                        which sets the far port's speed and framing.
// HOST is a name, an IPv4 address or an IPv6 address in brackets.
struct NetAddress {
    enum Mode { Raw, Rfc2217 };
    Mode mode = Raw;
    QString host;
    std::uint16_t port = 0;

    // "tcp://HOST:PORT" or "rfc2217://HOST:PORT", as it is written.
    [[nodiscard]] QString Text() const;
    // "HOST:PORT", for messages.
    [[nodiscard]] QString HostPort() const;
};

// The address written in text (spaces around it ignored); nullopt when text
// is no such address.
[[nodiscard]] std::optional<NetAddress> ParseNetAddress(const QString& text);

// A port folder entry may be a small text file holding an address instead of
// a link to a device. The address of the entry at path, or nullopt when it is
// anything else (a link to a device, a missing file).
[[nodiscard]] std::optional<NetAddress> EntryAddress(const QString& path);
