#pragma once

#include <cstdint>

// The link counts time in ticks of 55 ms of a monotonic clock: 18.2 ticks a
// second, so 5 s is 91 ticks and 30 s is 546.
constexpr std::int32_t TickMs = 55;
// The tick counter wraps at this many ticks; a timer started before the wrap
// must still come due after it.
constexpr std::int32_t TickWrap = 39045157;

struct TickTimer {
    std::int32_t start = 0;
    std::int32_t expiry = 0;
};

// Milliseconds of the monotonic clock; tests may replace it.
using MonotonicClock = std::int64_t (*)();
void SetMonotonicClock(MonotonicClock clock); // nullptr restores the real one
[[nodiscard]] std::int64_t MonotonicMs();
// Makes the link's clock run `factor` times faster than real time, so that
// tests of long procedures keep every pause and limit in proportion without
// waiting for them. 1 is real time, and the program never changes it.
void SetTimeScale(int factor);

[[nodiscard]] std::int32_t CurrentTick();
void StartTicks(TickTimer& timer, std::int32_t ticks);
void StartSeconds(TickTimer& timer, std::int32_t seconds);
[[nodiscard]] bool TimerDue(const TickTimer& timer);
// Real milliseconds until the timer comes due, 0 when it is due already.
[[nodiscard]] std::int64_t MsUntilDue(const TickTimer& timer);
