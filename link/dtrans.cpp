#include "link/dtrans.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>

DTrans::DTrans(Pordt& port, const bool& breakRequested)
    : port_(port), breakRequested_(breakRequested) {
    // Only there to wake the event loop at a deadline.
    wakeTimer_.setSingleShot(true);
    wakeTimer_.setTimerType(Qt::PreciseTimer);
}

std::uint8_t DTrans::FrameChecksum(std::uint16_t lastIndex) const {
    std::uint8_t sum = 0;
    for (std::uint16_t i = 0; i <= lastIndex && i < TxBuffer.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + TxBuffer[i]);
    return static_cast<std::uint8_t>(~sum);
}

void DTrans::SendWakeByte(std::uint8_t b) {
    if (b == 0)
        return;
    port_.SetParityNone();
    (void)port_.SendByte(b);
}

void DTrans::waitForEvent(const TickTimer& timer, std::int64_t atMostMs) {
    std::int64_t ms = MsUntilDue(timer);
    if (ms <= 0)
        return;
    if (atMostMs > 0)
        ms = std::min(ms, atMostMs);
    wakeTimer_.start(static_cast<int>(std::min<std::int64_t>(ms, 24 * 3600 * 1000)));
    // Blocks until something happens: a reply byte, a click, the deadline.
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    if (dispatcher)
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    else
        QThread::msleep(static_cast<unsigned long>(std::min<std::int64_t>(ms, 10)));
    wakeTimer_.stop();
}

void DTrans::startByteLimit(TickTimer& timer, std::int32_t fromTick) const {
    if (ReplyTimeout <= 1)
        StartTicks(timer, 10);
    else
        StartSeconds(timer, ReplyTimeout);
    // The same length, counted from the tick the previous byte came in.
    timer.expiry -= timer.start - fromTick;
    timer.start = fromTick;
}

void DTrans::AddReadObserver(ReadObserver* observer) {
    observers_.push_back(observer);
}

void DTrans::RemoveReadObserver(ReadObserver* observer) {
    std::erase(observers_, observer);
}

void DTrans::TakenFromArchive(std::uint32_t address, std::uint8_t selector,
                              const std::uint8_t* data, std::uint16_t length, std::int64_t readAt) {
    for (ReadObserver* observer : observers_)
        observer->BlockFromArchive(address, selector, data, length, readAt);
}

void DTrans::WaitTicks(std::int32_t n) {
    // No recorder on the line: no pause is owed to one.
    if (source_)
        return;
    TickTimer timer;
    StartTicks(timer, n);
    QCoreApplication::processEvents();
    while (!TimerDue(timer))
        waitForEvent(timer);
}

std::uint8_t DTrans::ExchangeFrame(std::uint8_t command, std::uint16_t lastIndex,
                                   std::uint16_t replyLength) {
    // Something of an earlier frame is still on its way out; sending now would
    // interleave two frames.
    if (port_.OutputCount() != 0)
        return LinkTimeout;
    if (lastIndex + 2u > TxBuffer.size())
        return LinkBadReply;

    (void)port_.FlushInput();
    (void)port_.FlushOutput();

    TxBuffer[0] = command;
    TxBuffer[lastIndex + 1] = FrameChecksum(lastIndex);

    // On a line, no reply can be complete before the request and the reply
    // have crossed it at the port's speed, 10 bits a byte.
    using LineClock = std::chrono::steady_clock;
    const auto byteTime = std::chrono::microseconds(10'000'000 / std::max(port_.Baud(), 1));
    const int lineBytes = (WakeByte != 0 ? 1 : 0) + lastIndex + 2 + replyLength;
    const LineClock::time_point lineDone = LineClock::now() + byteTime * lineBytes;

    SendWakeByte(WakeByte);
    (void)port_.SendBlock(TxBuffer.data(), static_cast<std::uint16_t>(lastIndex + 2));

    // Reply bytes are counted where they wait (mostly still in the driver)
    // and taken at the end. The event loop sleeps until the whole reply can
    // be there, the next tick begins, or a window message comes (Break), so
    // a reply at 9600 Bd costs a few wake-ups instead of one per byte.
    // Looking at every tick start still tells in which tick each byte came,
    // and each byte keeps its own limit from the tick of the one before.
    std::uint16_t received = 0;
    TickTimer limit;
    startByteLimit(limit, CurrentTick());
    std::int32_t lastLook = limit.start;
    bool pumped = false;
    for (;;) {
        const std::int32_t now = CurrentTick();
        const int waiting = std::min<int>(port_.InputCount(), replyLength);
        if (waiting > received) {
            received = static_cast<std::uint16_t>(waiting);
            // Found at the first look of a tick: they came in the tick before.
            startByteLimit(limit, now == lastLook ? now : (now == 0 ? TickWrap : now) - 1);
        }
        lastLook = now;
        if (received >= replyLength) {
            // All in before its last byte could have crossed the line: this
            // line does not run at its speed (a simulator without pacing).
            if (LineClock::now() < lineDone - byteTime)
                linePaced_ = false;
            break;
        }
        if (received > 0)
            linePaced_ = true;
        // The window's messages are handled at least once per exchange,
        // since the first byte can never be here yet.
        if (!pumped) {
            QCoreApplication::processEvents();
            pumped = true;
            continue;
        }
        // A device that went away fails the exchange as its silence would,
        // without waiting out the limit.
        if (TimerDue(limit) || breakRequested_ || port_.Lost())
            break;
        // Linux wakes a waiter on the line for every byte, however many the
        // line waits for. A reply coming at the pace of the line cannot end
        // before lineDone: until a byte before that, the line stays out of
        // the wait, and the tick starts are still looked at. Until a reply
        // was seen coming in parts, the line is watched for the first byte:
        // an unpaced reply comes whole at once.
        std::int64_t quietMs = 0;
        if (received > 0 || linePaced_)
            quietMs = std::chrono::duration_cast<std::chrono::milliseconds>(lineDone - byteTime -
                                                                            LineClock::now())
                          .count();
        port_.WatchInput(quietMs <= 0);
        if (quietMs <= 0)
            port_.WakeOnInput(received > 0 ? replyLength - received : 1);
        const TickTimer nextTick{now, now};
        waitForEvent(nextTick, quietMs);
    }
    port_.WatchInput(true);

    // Takes the bytes counted; a failed reply leaves in RxBuffer what came.
    port_.FetchInput();
    std::uint16_t taken = 0;
    for (; taken < received && port_.InputReady(); ++taken) {
        const std::uint8_t b = port_.ReadByte();
        if (taken < RxBuffer.size())
            RxBuffer[taken] = b;
    }
    received = taken;

    // Whatever came beyond the expected reply is dropped with the queues.
    (void)port_.FlushInput();
    (void)port_.FlushOutput();

    if (breakRequested_) {
        WaitTicks(1);
        return LinkBadReply;
    }
    if (received < replyLength) {
        WaitTicks(1);
        return LinkTimeout;
    }
    std::uint8_t sum = 0;
    for (std::uint16_t k = 0; k < replyLength && k < RxBuffer.size(); ++k)
        sum = static_cast<std::uint8_t>(sum + RxBuffer[k]);
    if (sum == 0xFF)
        return LinkOk;
    WaitTicks(1);
    return LinkBadReply;
}

std::uint8_t DTrans::ReadBlock(std::uint32_t address, std::uint16_t length, std::uint8_t selector) {
    TxBuffer[1] = static_cast<std::uint8_t>(address & 0xFF);
    TxBuffer[2] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    TxBuffer[3] = static_cast<std::uint8_t>((address >> 16) & 0xFF);
    TxBuffer[4] = static_cast<std::uint8_t>(length & 0xFF);
    TxBuffer[5] = selector;
    // A read of nothing, or one whose reply (length plus three bytes) would
    // not fit RxBuffer, is never sent: it can have no valid answer.
    if (length == 0 || length > MaxReadLength) {
        LastLinkResult = LinkBadReply;
        return LinkBadReply;
    }
    std::uint8_t r = LinkTimeout;
    if (source_)
        r = source_->AnswerRead(address, length, selector, RxBuffer.data() + 1);
    for (std::uint16_t attempt = 0; !source_ && attempt < FrameAttempts; ++attempt) {
        r = ExchangeFrame(4, 5, static_cast<std::uint16_t>(length + 3));
        if (r == LinkOk)
            break;
    }
    LastLinkResult = r;
    if (r == LinkOk)
        for (ReadObserver* observer : observers_)
            observer->BlockRead(address, selector, RxBuffer.data() + 1, length);
    return r;
}

std::uint8_t DTrans::WriteBlock(std::uint32_t address, std::uint16_t count, std::uint8_t parameter,
                                const std::uint8_t* data) {
    WaitTicks(1);
    TxBuffer[1] = static_cast<std::uint8_t>(address & 0xFF);
    TxBuffer[2] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    TxBuffer[3] = static_cast<std::uint8_t>((address >> 16) & 0xFF);
    TxBuffer[4] = parameter;
    // The frame must fit the buffer with its checksum.
    const std::uint16_t fits = static_cast<std::uint16_t>(TxBuffer.size() - 6);
    count = std::min(count, fits);
    for (std::uint16_t i = 0; i < count; ++i)
        TxBuffer[5 + i] = data[i];
    std::uint8_t r = LinkTimeout;
    for (std::uint16_t attempt = 0; attempt < FrameAttempts; ++attempt) {
        r = ExchangeFrame(5, static_cast<std::uint16_t>(count + 4), 2);
        if (r == LinkOk)
            break;
    }
    return r == LinkOk ? 0 : 1;
}
