#pragma once

// What the communication benchmarks share: clocks, percentiles, a trace sink that notes
// when frames went out and came back, and the table they print.
#include "TracedByDirection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace halvane::bench {

using Clock = std::chrono::steady_clock;
using Times = std::vector<Clock::time_point>;

// Notes when each frame was traced: a TX line right after the request went out, an RX
// line once the reply is complete.
class TraceTimes final : public TracedByDirection<Clock::time_point> {
public:
    void Append(std::string line) override {
        const auto now = Clock::now();
        Keep(line.find(" TX:") != std::string::npos, now);
    }
};

inline double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// Calls `step(i)` at each of `ticks` ticks of `interval`, on fixed deadlines like a timer
// that does not drift; returns the wall time until the tick after the last.
inline Clock::duration Tick(std::chrono::microseconds interval, size_t ticks,
                            const std::function<void(size_t)>& step) {
    const auto start = Clock::now();
    for (size_t i = 0; i < ticks; ++i) {
        std::this_thread::sleep_until(start + i * interval);
        step(i);
    }
    std::this_thread::sleep_until(start + ticks * interval);
    return Clock::now() - start;
}

// For each event, the µs since the last poll before it.
inline std::vector<double> SincePoll(const Times& polls, const Times& events) {
    std::vector<double> us;
    for (const auto& t : events) {
        const auto after = std::upper_bound(polls.begin(), polls.end(), t);
        if (after != polls.begin())
            us.push_back(Micros(t - *std::prev(after)));
    }
    return us;
}

// The nearest-rank percentile `p` (0..1).
inline double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::max<size_t>(rank, 1) - 1];
}

template <class... Args> std::string Text(const char* format, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

inline std::string MedianAndP99(const std::vector<double>& us) {
    return Text("%.0f / %.0f us", Percentile(us, 0.5), Percentile(us, 0.99));
}

inline void Row(const std::string& figure, const std::string& station, const std::string& reference,
                const std::string& ratio) {
    std::string line = Text("%-38s %-16s %-26s %s", figure.c_str(), station.c_str(),
                            reference.c_str(), ratio.c_str());
    line.erase(line.find_last_not_of(' ') + 1);
    std::puts(line.c_str());
}

// The exit status of a benchmark program: `run`'s, or 1 after the reason it stopped on stderr.
inline int RunReported(const char* program, const std::function<int()>& run) {
    try {
        return run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return 1;
    }
}

} // namespace halvane::bench
