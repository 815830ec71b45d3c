#include "link/tick_timer.h"

#include <algorithm>
#include <chrono>

namespace {

std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

MonotonicClock clockSource = &steadyMs;
int timeScale = 1;

} // namespace

void SetMonotonicClock(MonotonicClock clock) {
    clockSource = clock ? clock : &steadyMs;
}

std::int64_t MonotonicMs() {
    return clockSource() * timeScale;
}

void SetTimeScale(int factor) {
    timeScale = std::max(1, factor);
}

std::int32_t CurrentTick() {
    return static_cast<std::int32_t>((MonotonicMs() / TickMs) % TickWrap);
}

void StartTicks(TickTimer& timer, std::int32_t ticks) {
    ticks = std::min(ticks, TickWrap);
    timer.start = CurrentTick();
    timer.expiry = timer.start + ticks;
}

void StartSeconds(TickTimer& timer, std::int32_t seconds) {
    StartTicks(timer, static_cast<std::int32_t>(static_cast<std::int64_t>(seconds) * 1675 / 92));
}

bool TimerDue(const TickTimer& timer) {
    const std::int32_t now = CurrentTick();
    if (now < timer.start)
        return now + TickWrap > timer.expiry;
    return now > timer.expiry;
}

std::int64_t MsUntilDue(const TickTimer& timer) {
    if (TimerDue(timer))
        return 0;
    // Due once the tick number passes expiry, i.e. at the start of tick expiry + 1.
    std::int32_t now = CurrentTick();
    std::int64_t ticksLeft = static_cast<std::int64_t>(timer.expiry) + 1 - now;
    if (now < timer.start)
        ticksLeft -= TickWrap;
    const std::int64_t intoTick = MonotonicMs() % TickMs;
    const std::int64_t clockMs = ticksLeft * TickMs - intoTick;
    return std::max<std::int64_t>(1, (clockMs + timeScale - 1) / timeScale);
}
