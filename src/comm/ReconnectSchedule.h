#pragma once

#include <chrono>

namespace halvane {

// When a link that went down is tried again: 1 s after it failed, then twice as long
// after each failed attempt, at most 30 s; a success starts again from 1 s.
class ReconnectSchedule final {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kFirstWait{1};
    static constexpr std::chrono::seconds kLongestWait{30};

    // The link went down, or an attempt failed, at `now`: the time of the next attempt.
    Clock::time_point Failed(Clock::time_point now);
    void Succeeded() { m_wait = kFirstWait; }

private:
    std::chrono::seconds m_wait = kFirstWait;
};

} // namespace halvane
