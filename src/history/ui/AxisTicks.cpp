#include "AxisTicks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace halvane {

namespace {

constexpr int kSteps = 5;
// Values a hair beyond a tick (0.3 / 0.1 is 2.9999...) still count as on it.
constexpr double kOnTick = 1e-9;

// The smallest of 1, 2, 5 and 10 times a power of ten that is at least `rough`.
double RoundStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double mantissa : std::array{1.0, 2.0, 5.0})
        if (mantissa * power >= rough)
            return mantissa * power;
    return 10 * power;
}

} // namespace

AxisTicks RoundAxisTicks(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high) || low > high)
        return {};
    if (low == high) {
        low -= 1;
        high += 1;
    }
    const double step = RoundStep((high - low) / kSteps);
    if (!std::isfinite(step) || step <= 0)
        return {};
    const double first = std::floor(low / step + kOnTick);
    const double last = std::ceil(high / step - kOnTick);
    AxisTicks ticks;
    ticks.first = first * step;
    ticks.last = last * step;
    ticks.step = step;
    ticks.count = static_cast<int>(std::llround(last - first)) + 1;
    ticks.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + kOnTick)));
    return ticks;
}

} // namespace halvane
