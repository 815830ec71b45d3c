#include "simulator/sim_server.h"

#include "simulator/recorder_memory.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A frame that stops halfway is given up after this much silence.
constexpr auto FrameGap = 100ms;
// A reply the client does not take is dropped after this long.
constexpr auto WriteGiveUp = 500ms;
constexpr int BitsPerByte = 10; // start, 8 data, stop

std::uint8_t complementOfSum(const QByteArray& bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes) {
        sum = std::uint8_t(sum + std::uint8_t(c));
    }
    return std::uint8_t(0xFF - sum);
}

timespec toTimespec(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    timespec ts{};
    ts.tv_sec = time_t(ns / 1000000000);
    ts.tv_nsec = long(ns % 1000000000);
    return ts;
}

RecorderSimulator::Request decode(const FrameParser::Frame& frame) {
    RecorderSimulator::Request r;
    // Short frames (a refused write) read as zeros past their end.
    const QByteArray b = frame.bytes.leftJustified(6, '\0');
    r.frame = frame.bytes;
    r.checksumOk = frame.sumOk && frame.known;
    r.command = std::uint8_t(b.at(0));
    if (r.command == FrameParser::ReadCommand || r.command == FrameParser::WriteCommand) {
        r.address = std::uint32_t(std::uint8_t(b.at(1))) |
                    std::uint32_t(std::uint8_t(b.at(2))) << 8 |
                    std::uint32_t(std::uint8_t(b.at(3))) << 16;
    }
    if (r.command == FrameParser::ReadCommand) {
        r.length = std::uint8_t(b.at(4));
        r.selector = std::uint8_t(b.at(5));
    } else if (r.command == FrameParser::WriteCommand) {
        r.length = std::uint16_t(std::max<qsizetype>(frame.bytes.size() - 6, 0));
        r.selector = std::uint8_t(b.at(4));
    }
    return r;
}

} // namespace

bool RecorderSimulator::Server::Open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        closePty();
        return false;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        closePty();
        return false;
    }
    path_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) {
        closePty();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) {
        closePty();
        return false;
    }
    const int flags = fcntl(master_, F_GETFL);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0 || wake_ < 0) {
        closePty();
        return false;
    }
    QString timingLog;
    {
        std::lock_guard lock(sim_.mutex_);
        timingLog = sim_.timingLog_;
    }
    if (!timingLog.isEmpty()) {
        timing_ = std::fopen(QFile::encodeName(timingLog).constData(), "ae");
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void RecorderSimulator::Server::Stop() {
    stopping_ = true;
    if (wake_ >= 0) {
        Kick();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    closePty();
    if (wake_ >= 0) {
        ::close(wake_);
        wake_ = -1;
    }
    if (timing_) {
        std::fclose(timing_);
        timing_ = nullptr;
    }
}

void RecorderSimulator::Server::closePty() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

bool RecorderSimulator::Server::vanishDue() const {
    std::lock_guard lock(sim_.mutex_);
    const int after = sim_.faults_.vanishAfter;
    return master_ >= 0 && after >= 0 && sim_.requestsSinceVanishSet_ >= after;
}

void RecorderSimulator::Server::vanish() {
    // Let the client take the last reply first: a hang-up flushes what the
    // line still holds. The pty hands written bytes on a moment later, so
    // an empty queue right after the write proves nothing.
    if (!waitUntil(Clock::now() + 50ms)) {
        return;
    }
    const auto giveUp = Clock::now() + WriteGiveUp;
    int pending = 0;
    while (ioctl(slave_, FIONREAD, &pending) == 0 && pending > 0 && Clock::now() < giveUp) {
        if (!waitUntil(Clock::now() + 5ms)) {
            return;
        }
    }
    closePty(); // the recorder is gone: the client's line dies
}

bool RecorderSimulator::Server::stopRequested() {
    drainWake();
    return stopping_;
}

void RecorderSimulator::Server::drainWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto n = ::read(wake_, &count, sizeof count);
}

void RecorderSimulator::Server::Kick() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_, &one, sizeof one);
}

bool RecorderSimulator::Server::waitUntil(Clock::time_point deadline) {
    for (;;) {
        if (stopping_) {
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return true;
        }
        const auto left = deadline - now;
        if (left > 5ms) {
            // Long waits watch for Stop; the last stretch sleeps to the
            // deadline itself, so byte times never add up to drift.
            pollfd p{wake_, POLLIN, 0};
            const timespec ts = toTimespec(left - 2ms);
            if (ppoll(&p, 1, &ts, nullptr) > 0) {
                drainWake(); // a kick about faults; Stop is seen above
            }
            continue;
        }
        const timespec abs = toTimespec(deadline.time_since_epoch());
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &abs, nullptr);
    }
}

void RecorderSimulator::Server::run() {
    // Byte times are deadlines of about a millisecond: the default slack of
    // 50 us on every sleep would make each byte late by that much.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    char buffer[256];
    for (;;) {
        if (stopRequested()) {
            return;
        }
        if (vanishDue()) {
            vanish();
        }
        pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLIN, 0}};
        const nfds_t count = master_ >= 0 ? 2 : 1;
        int timeoutMs = -1;
        if (parser_.InFrame()) {
            const auto left = lastByte_ + FrameGap - Clock::now();
            timeoutMs = int(
                std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        const int ready = poll(fds, count, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (ready == 0) {
            FrameParser::Frame frame;
            if (parser_.LineIdle(&frame)) {
                replyFrom_ = Clock::now();
                handleFrame(frame);
            }
            continue;
        }
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                const auto readTime = Clock::now();
                for (ssize_t i = 0; i < n && !stopping_; ++i) {
                    handleByte(std::uint8_t(buffer[i]), readTime);
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // No client can reach us any more; do not spin on the error.
                waitUntil(Clock::now() + 50ms);
            }
        }
    }
}

void RecorderSimulator::Server::handleByte(std::uint8_t byte, Clock::time_point readTime) {
    int baud = 0;
    {
        std::lock_guard lock(sim_.mutex_);
        baud = sim_.faults_.baud;
    }
    if (!requestUnderWay_) {
        requestStart_ = readTime;
        requestUnderWay_ = true;
    }
    if (baud > 0) {
        // The byte counts as received when it would have crossed the line.
        const auto byteTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(BitsPerByte) / baud));
        lineFree_ = std::max(lineFree_, readTime) + byteTime;
        if (!waitUntil(lineFree_)) {
            return;
        }
    }
    {
        std::lock_guard lock(sim_.mutex_);
        sim_.received_.append(char(byte));
    }
    lastByte_ = Clock::now();
    FrameParser::Frame frame;
    if (parser_.Feed(byte, &frame)) {
        // Woken late for the last byte, a reply starting now would be late
        // by that much: paced, it starts when the line says the request ended.
        replyFrom_ = baud > 0 ? std::min(lineFree_, lastByte_) : lastByte_;
        handleFrame(frame);
    }
}

QByteArray RecorderSimulator::Server::execute(const Request& request, bool* command) {
    RecorderMemory& memory = *sim_.memory_;
    *command = false;
    switch (request.command) {
    case FrameParser::ReadCommand: {
        // Never read from the recorder that was imaged: as silent as a read
        // of the image itself.
        if (!memory.Answers(request.selector, request.address, request.length)) {
            return {};
        }
        QByteArray reply(1, char(FrameParser::ReadCommand));
        reply.append(memory.Get(request.selector, request.address, request.length));
        reply.append('\0'); // status
        reply.append(char(complementOfSum(reply)));
        return reply;
    }
    case FrameParser::WriteCommand:
        memory.WriteClockBytes(request.frame.mid(5, 5));
        break;
    case FrameParser::EraseCommand:
        memory.Erase();
        *command = true;
        break;
    case FrameParser::ResetCommand:
        memory.ResetSummator();
        *command = true;
        break;
    default:
        return {};
    }
    QByteArray ack(1, char(request.command));
    ack.append(char(~request.command));
    return ack;
}

void RecorderSimulator::Server::handleFrame(const FrameParser::Frame& frame) {
    const Request request = decode(frame);
    QByteArray reply;
    Faults faults;
    bool command = false;
    {
        std::lock_guard lock(sim_.mutex_);
        sim_.requests_.push_back(request);
        if (sim_.logRequests_) {
            std::fprintf(stderr, "command %02X address %06X length %u selector %u%s\n",
                         request.command, request.address, unsigned(request.length),
                         unsigned(request.selector), request.checksumOk ? "" : " (ignored)");
            std::fflush(stderr);
        }
        faults = sim_.faults_;
        bool fail = false;
        if (request.command == FrameParser::ReadCommand ||
            request.command == FrameParser::WriteCommand) {
            for (auto& [address, n] : sim_.failing_) {
                if (address == request.address && n > 0) {
                    --n;
                    fail = true;
                }
            }
        }
        if (request.checksumOk && !fail && !faults.silent) {
            reply = execute(request, &command);
        }
        ++sim_.requestsSinceVanishSet_;
        sim_.requestSeen_.notify_all();
    }
    if (!reply.isEmpty()) {
        sendReply(reply, faults, command);
    }
    requestUnderWay_ = false;
}

void RecorderSimulator::Server::sendReply(QByteArray reply, const Faults& faults, bool command) {
    if (faults.badChecksum) {
        reply.back() = char(reply.back() + 1);
    }
    if (faults.sumOneLow) {
        reply.back() = char(reply.back() - 1);
    }
    if (faults.cutAfter >= 0) {
        reply.truncate(faults.cutAfter);
    }
    for (int i = 0; i < faults.extraBytes; ++i) {
        reply.append(char(0xA5 + i * 0x11));
    }
    if (reply.isEmpty()) {
        return;
    }
    auto next = replyFrom_;
    if (command && faults.eraseAckDelayMs > 0) {
        next += std::chrono::milliseconds(faults.eraseAckDelayMs);
    }
    Clock::duration byteTime{};
    if (faults.baud > 0) {
        byteTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(BitsPerByte) / faults.baud));
    }
    const auto delay = std::chrono::milliseconds(std::max(faults.byteDelayMs, 0));
    if (byteTime == Clock::duration::zero() && delay == 0ms) {
        if (waitUntil(next)) {
            writeAll(reply.constData(), reply.size());
        }
        return;
    }
    // Each byte leaves at its own absolute time, counted from the reply's
    // start, so rounding in one sleep does not push the later bytes back.
    for (char c : reply) {
        next += delay + byteTime;
        if (!waitUntil(next) || !writeAll(&c, 1)) {
            return;
        }
    }
    if (timing_ && byteTime != Clock::duration::zero()) {
        logTiming(Clock::now(), next);
    }
}

void RecorderSimulator::Server::logTiming(Clock::time_point replyEnd, Clock::time_point due) {
    using std::chrono::microseconds;
    const auto us = [](Clock::duration d) {
        return static_cast<long long>(std::chrono::duration_cast<microseconds>(d).count());
    };
    const long long reaction =
        lastReplyEnd_ == Clock::time_point{} ? -1 : us(requestStart_ - lastReplyEnd_);
    std::fprintf(timing_, "%lld %lld\n", reaction, us(replyEnd - due));
    lastReplyEnd_ = replyEnd;
}

bool RecorderSimulator::Server::writeAll(const char* data, qsizetype size) {
    const auto giveUp = Clock::now() + WriteGiveUp;
    while (size > 0 && master_ >= 0) {
        const ssize_t n = ::write(master_, data, std::size_t(size));
        if (n > 0) {
            data += n;
            size -= n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (Clock::now() >= giveUp) {
            return false; // nobody reads the line: the bytes are lost
        }
        pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, 20) > 0 && (fds[1].revents & POLLIN) != 0) {
            drainWake();
        }
        if (stopping_) {
            return false;
        }
    }
    return size == 0;
}
