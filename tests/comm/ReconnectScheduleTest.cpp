#include "ReconnectSchedule.h"

#include <gtest/gtest.h>

using namespace halvane;
using namespace std::chrono_literals;

TEST(ReconnectScheduleTest, WaitsDoubleUpToTheLongestAndASuccessStartsOver) {
    ReconnectSchedule schedule;
    const auto now = ReconnectSchedule::Clock::now();
    for (const auto wait : {1s, 2s, 4s, 8s, 16s, 30s, 30s})
        EXPECT_EQ(schedule.Failed(now) - now, wait);
    schedule.Succeeded();
    EXPECT_EQ(schedule.Failed(now) - now, 1s);
    EXPECT_EQ(schedule.Failed(now) - now, 2s);
}
