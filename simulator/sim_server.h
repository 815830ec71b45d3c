#pragma once

#include "simulator/frame_parser.h"
#include "simulator/recorder_sim.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

// The simulator's inside: the pseudo-terminal and the thread that serves it.
class RecorderSimulator::Server {
public:
    explicit Server(RecorderSimulator& sim) : sim_(sim) {}
    ~Server() { Stop(); }

    bool Open();
    void Stop();
    // Wakes the thread so that changed faults act at once.
    void Kick();
    [[nodiscard]] QString Path() const { return path_; }

private:
    void run();
    void handleByte(std::uint8_t byte, std::chrono::steady_clock::time_point readTime);
    void handleFrame(const FrameParser::Frame& frame);
    QByteArray execute(const Request& request, bool* command);
    void sendReply(QByteArray reply, const Faults& faults, bool command);
    bool writeAll(const char* data, qsizetype size);
    void logTiming(std::chrono::steady_clock::time_point replyEnd,
                   std::chrono::steady_clock::time_point due);
    // Sleeps to an absolute deadline; false when stopping cut it short.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    void closePty();
    [[nodiscard]] bool vanishDue() const;
    void vanish();
    [[nodiscard]] bool stopRequested();
    void drainWake();

    RecorderSimulator& sim_;
    int master_ = -1;
    int slave_ = -1; // kept open, never read: the master sees no hang-up
    int wake_ = -1;
    QString path_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    FrameParser parser_;
    std::chrono::steady_clock::time_point lineFree_{};
    std::chrono::steady_clock::time_point lastByte_{};
    // When the request just taken ended as the line counts it: the reply's
    // schedule starts there.
    std::chrono::steady_clock::time_point replyFrom_{};
    // The timing log (SetTimingLog) and what it measures from.
    std::FILE* timing_ = nullptr;
    bool requestUnderWay_ = false;
    std::chrono::steady_clock::time_point requestStart_{};
    std::chrono::steady_clock::time_point lastReplyEnd_{};
};
