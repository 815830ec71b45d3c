#pragma once

#include <QString>

#include <functional>

// The byte stream to the recorder, whatever carries it: a serial port
// (SerialStream) or a network connection to a serial device server
// (NetStream). Pordt keeps the port's rules (buffer sizes, messages, the
// loss told once) above it; a stream only moves bytes and says when the far
// end went away.
//
// Failures come back as a false result with the user's text in error.
class LineStream {
public:
    virtual ~LineStream() = default;

    // Opens at baud, 8 data bits, no parity, 1 stop bit, no flow control.
    [[nodiscard]] virtual bool open(int baud, QString& error) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    [[nodiscard]] virtual bool setBaud(int baud, QString& error) = 0;
    // Sets parity none again should anything have changed it.
    virtual void insistParityNone() = 0;

    // Bytes queued here and not yet handed to the system.
    [[nodiscard]] virtual qint64 queuedOutput() const = 0;
    // Drops what came in and was not read, here and in the system.
    [[nodiscard]] virtual bool clearInput() = 0;
    // Drops output still queued here; what the system took leaves whole.
    [[nodiscard]] virtual bool clearOutput() = 0;
    // Queues length bytes of data; with handOver the queue goes to the
    // system now rather than on the next pass of the event loop.
    [[nodiscard]] virtual bool write(const char* data, qint64 length, bool handOver,
                                     QString& error) = 0;

    // Data bytes ready for takeByte.
    [[nodiscard]] virtual qint64 readable() const = 0;
    // Data bytes received and not yet taken, those the system holds included.
    [[nodiscard]] virtual int received() const = 0;
    [[nodiscard]] virtual bool takeByte(char& b) = 0;
    // Makes what the system holds readable.
    virtual void fetch() = 0;

    // See Pordt::WakeOnInput and Pordt::WatchInput; a stream that cannot
    // ignores them.
    virtual void wakeOnInput(int count) = 0;
    virtual void watchInput(bool on) = 0;

    // Called once when the far end goes away while open (the stream has
    // closed itself), with the text for the user.
    std::function<void(const QString&)> onLost;
};
