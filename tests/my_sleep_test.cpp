#include "ui/my_sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orba::ui {
namespace {

using Clock = std::chrono::steady_clock;

TEST(MySleepTest, WaitsAtLeastTheGivenTimeAndPumpsEventsThroughout) {
    int pumped = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(MySleep(20, [&] { ++pumped; }));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
    EXPECT_GT(pumped, 1);
}

TEST(MySleepTest, ZeroOrNegativeTimeReturnsWithoutWaiting) {
    int pumped = 0;
    EXPECT_TRUE(MySleep(0, [&] { ++pumped; }));
    EXPECT_TRUE(MySleep(-5, [&] { ++pumped; }));
    EXPECT_EQ(pumped, 0);
}

TEST(MySleepTest, StopsAsSoonAsTheUserEndsTheProgram) {
    int pumped = 0;
    bool ended = false;
    const auto start = Clock::now();
    EXPECT_FALSE(MySleep(
        10000, [&] { ended = ++pumped == 3; }, [&] { return !ended; }));
    EXPECT_EQ(pumped, 3);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace orba::ui
