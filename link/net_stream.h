#pragma once

#include "link/line_stream.h"
#include "link/net_address.h"
#include "link/telnet_codec.h"

#include <QByteArray>
#include <QTcpSocket>

#include <chrono>
#include <functional>

// The stream over a network connection to a serial device server: raw bytes
// (tcp://) or telnet with RFC 2217 (rfc2217://), where the far port's line is
// set on opening and every data byte passes the telnet layer.
//
// Opening blocks in the event loop until the connection stands (and, by RFC
// 2217, the far port reports its speed), at most ConnectLimit: a device server
// out of reach fails the opening, not every exchange after it. A connection
// that breaks while open closes the stream, as a pulled adapter closes a port.
class NetStream : public LineStream {
public:
    static constexpr std::chrono::milliseconds ConnectLimit{5000};
    // How long the line must stay quiet after opening before the first
    // request goes out (see dropLeftovers).
    static constexpr std::chrono::milliseconds SettleQuiet{150};

    NetStream();

    // The address the next open connects to.
    void setAddress(const NetAddress& address) { address_ = address; }
    [[nodiscard]] const NetAddress& address() const { return address_; }

    [[nodiscard]] bool open(int baud, QString& error) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return open_; }
    [[nodiscard]] bool setBaud(int baud, QString& error) override;
    // The far port was set to no parity on opening; nothing changes it since.
    void insistParityNone() override {}

    [[nodiscard]] qint64 queuedOutput() const override;
    [[nodiscard]] bool clearInput() override;
    // The socket keeps no queue that could be cut: a frame always leaves whole.
    [[nodiscard]] bool clearOutput() override { return true; }
    [[nodiscard]] bool write(const char* data, qint64 length, bool handOver,
                             QString& error) override;

    [[nodiscard]] qint64 readable() const override { return in_.size() - taken_; }
    [[nodiscard]] int received() const override { return static_cast<int>(readable()); }
    [[nodiscard]] bool takeByte(char& b) override;
    void fetch() override;

    // Bytes come as the network delivers them: there is no count to wait for
    // and no reason to leave the socket out of the event loop's waits.
    void wakeOnInput(int) override {}
    void watchInput(bool) override {}

    // The speed the far port reported by RFC 2217; 0 for a raw connection.
    [[nodiscard]] std::uint32_t reportedBaud() const { return codec_.ReportedBaud(); }

private:
    // Moves what the socket has into in_, through the telnet layer, and sends
    // its answers at once.
    void takeFromSocket();
    void goneAway();
    // Drops what arrives until the line has been quiet for SettleQuiet (or
    // the opening's time is up).
    void dropLeftovers(std::chrono::steady_clock::time_point until);
    // Blocks in the event loop until done() or the opening's time is up.
    [[nodiscard]] bool waitFor(const std::function<bool()>& done,
                               std::chrono::steady_clock::time_point until);
    // The text of a failed connection, by the socket's error.
    [[nodiscard]] QString failureText() const;
    // The text of a connection that stands but did not take the line settings.
    [[nodiscard]] QString handshakeFailure() const;

    QTcpSocket socket_;
    NetAddress address_;
    TelnetCodec codec_;
    bool telnet_ = false;
    bool open_ = false;
    QByteArray in_;
    qsizetype taken_ = 0;
    // Bytes that ever came from the socket, to tell a quiet line.
    qint64 arrived_ = 0;
};
