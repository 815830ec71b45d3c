#include "pty_client.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

PtyClient::PtyClient(const QString& path) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
    }
}

PtyClient::~PtyClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool PtyClient::Send(const QByteArray& bytes) {
    return fd_ >= 0 && ::write(fd_, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
}

QByteArray PtyClient::Receive(int n, int timeoutMs) {
    QByteArray out;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0 && out.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0 || (p.revents & POLLIN) == 0) {
            break;
        }
        char buffer[512];
        const ssize_t got =
            ::read(fd_, buffer,
                   std::size_t(n - out.size()) < sizeof buffer ? std::size_t(n - out.size())
                                                               : sizeof buffer);
        if (got <= 0) {
            break;
        }
        out.append(buffer, got);
    }
    return out;
}

QByteArray PtyClient::ReceiveUntilQuiet(int quietMs) {
    QByteArray out;
    for (;;) {
        const QByteArray more = Receive(4096, quietMs);
        if (more.isEmpty()) {
            return out;
        }
        out.append(more);
    }
}

QByteArray PtyClient::Exchange(const QByteArray& request, int n, int timeoutMs) {
    if (!Send(request)) {
        return {};
    }
    return Receive(n, timeoutMs);
}

bool PtyClient::LineDead(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) {
        return false;
    }
    if ((p.revents & (POLLHUP | POLLERR)) != 0) {
        return true;
    }
    char c = 0;
    return ::read(fd_, &c, 1) <= 0;
}

std::uint8_t ByteSum(const QByteArray& bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes) {
        sum = std::uint8_t(sum + std::uint8_t(c));
    }
    return sum;
}

namespace {

QByteArray withChecksum(QByteArray frame) {
    frame.append(char(0xFF - ByteSum(frame)));
    return QByteArray(1, '\x01') + frame;
}

QByteArray address3(std::uint32_t address) {
    QByteArray out;
    out.append(char(address & 0xFF));
    out.append(char((address >> 8) & 0xFF));
    out.append(char((address >> 16) & 0xFF));
    return out;
}

} // namespace

QByteArray ReadRequest(std::uint32_t address, std::uint8_t length, std::uint8_t selector) {
    QByteArray frame(1, '\x04');
    frame.append(address3(address));
    frame.append(char(length));
    frame.append(char(selector));
    return withChecksum(frame);
}

QByteArray WriteRequest(std::uint32_t address, std::uint8_t parameter, const QByteArray& data) {
    QByteArray frame(1, '\x05');
    frame.append(address3(address));
    frame.append(char(parameter));
    frame.append(data);
    return withChecksum(frame);
}

QByteArray CommandRequest(std::uint8_t command) {
    return withChecksum(QByteArray(1, char(command)));
}

QByteArray Hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

QByteArray FromHex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}
