#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The client end of the simulator's line, with plain POSIX calls: the slave
// device opened raw, as a serial port would.
class PtyClient {
public:
    explicit PtyClient(const QString& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
    bool Send(const QByteArray& bytes);
    // Collects up to n bytes, waiting at most timeoutMs in all.
    QByteArray Receive(int n, int timeoutMs);
    // Everything that comes until the line has been quiet for quietMs.
    QByteArray ReceiveUntilQuiet(int quietMs);
    // Sends and collects n bytes.
    QByteArray Exchange(const QByteArray& request, int n, int timeoutMs = 1000);
    // True when the other end is gone (hang-up or error on the line).
    bool LineDead(int timeoutMs);

private:
    int fd_ = -1;
};

// A request as it goes out: the wake byte, the frame and its checksum.
QByteArray ReadRequest(std::uint32_t address, std::uint8_t length, std::uint8_t selector);
QByteArray WriteRequest(std::uint32_t address, std::uint8_t parameter, const QByteArray& data);
QByteArray CommandRequest(std::uint8_t command);
// Bytes in hexadecimal with blanks, e.g. "04 00 FF", for readable failures.
QByteArray Hex(const QByteArray& bytes);
QByteArray FromHex(const char* text);
std::uint8_t ByteSum(const QByteArray& bytes);
