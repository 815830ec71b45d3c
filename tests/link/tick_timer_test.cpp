#include "link/tick_timer.h"

#include <gtest/gtest.h>

namespace {

std::int64_t fakeMs = 0;
std::int64_t fakeClock() {
    return fakeMs;
}

class TickTimerTest : public ::testing::Test {
protected:
    void SetUp() override { SetMonotonicClock(&fakeClock); }
    void TearDown() override { SetMonotonicClock(nullptr); }
};

TEST_F(TickTimerTest, TicksAreFiftyFiveMilliseconds) {
    fakeMs = 55 * 1000 + 54;
    EXPECT_EQ(CurrentTick(), 1000);
    fakeMs = 55 * 1001;
    EXPECT_EQ(CurrentTick(), 1001);
}

TEST_F(TickTimerTest, TimerComesDueAfterItsLastTick) {
    fakeMs = 55 * 100; // the very start of tick 100
    TickTimer timer;
    StartTicks(timer, 10);
    EXPECT_EQ(timer.start, 100);
    EXPECT_EQ(timer.expiry, 110);
    fakeMs = 55 * 111 - 1; // still tick 110
    EXPECT_FALSE(TimerDue(timer));
    fakeMs = 55 * 111;
    EXPECT_TRUE(TimerDue(timer));
}

TEST_F(TickTimerTest, SecondsBecomeEighteenPointTwoTicks) {
    fakeMs = 0;
    TickTimer timer;
    StartSeconds(timer, 5);
    EXPECT_EQ(timer.expiry - timer.start, 91);
    StartSeconds(timer, 30);
    EXPECT_EQ(timer.expiry - timer.start, 546);
    StartSeconds(timer, 1);
    EXPECT_EQ(timer.expiry - timer.start, 18);
}

TEST_F(TickTimerTest, LongTimersAreClamped) {
    fakeMs = 0;
    TickTimer timer;
    StartTicks(timer, 2'000'000'000);
    EXPECT_EQ(timer.expiry - timer.start, TickWrap);
}

TEST_F(TickTimerTest, TimerStartedBeforeTheWrapComesDueAfterIt) {
    fakeMs = std::int64_t{55} * (TickWrap - 5);
    TickTimer timer;
    StartTicks(timer, 10); // expires at TickWrap + 5, past the wrap
    EXPECT_FALSE(TimerDue(timer));
    fakeMs = std::int64_t{55} * TickWrap; // counter wrapped to 0
    EXPECT_EQ(CurrentTick(), 0);
    EXPECT_FALSE(TimerDue(timer));
    fakeMs = std::int64_t{55} * (TickWrap + 5);
    EXPECT_FALSE(TimerDue(timer));
    fakeMs = std::int64_t{55} * (TickWrap + 6);
    EXPECT_TRUE(TimerDue(timer));
}

TEST_F(TickTimerTest, MillisecondsUntilDueCountToTheNextTickBoundary) {
    fakeMs = 55 * 100 + 20;
    TickTimer timer;
    StartTicks(timer, 1); // due at the start of tick 102
    EXPECT_EQ(MsUntilDue(timer), 55 * 102 - fakeMs);
    fakeMs = 55 * 102;
    EXPECT_EQ(MsUntilDue(timer), 0);
}

} // namespace
