#include "ui/my_sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orba::ui {
namespace {

using namespace std::chrono_literals;

// A clock that moves 1 ms each time it is read.
struct SteppingClock {
    std::chrono::steady_clock::time_point now{};
    std::chrono::steady_clock::time_point Read() { return now += 1ms; }
};

TEST(MySleepTest, WaitsAtLeastTheGivenTimeAndPumpsEventsThroughout) {
    SteppingClock clock;
    int pumped = 0;
    EXPECT_TRUE(MySleep(
        20, [&] { ++pumped; }, [] { return true; }, [&] { return clock.Read(); }));
    EXPECT_GE(clock.now - std::chrono::steady_clock::time_point{}, 21ms)
        << "returned before 20 ms had passed since the clock was first read";
    EXPECT_GE(pumped, 19) << "events are processed on every pass";
}

TEST(MySleepTest, ZeroOrNegativeTimeReturnsWithoutWaiting) {
    int pumped = 0;
    EXPECT_TRUE(MySleep(0, [&] { ++pumped; }));
    EXPECT_TRUE(MySleep(-5, [&] { ++pumped; }));
    EXPECT_EQ(pumped, 0);
}

TEST(MySleepTest, StopsAsSoonAsTheUserEndsTheProgram) {
    SteppingClock clock;
    int pumped = 0;
    bool ended = false;
    EXPECT_FALSE(MySleep(
        10000, [&] { ended = ++pumped == 3; }, [&] { return !ended; },
        [&] { return clock.Read(); }));
    EXPECT_EQ(pumped, 3) << "no pass after the one in which the program was ended";
}

}  // namespace
}  // namespace orba::ui
