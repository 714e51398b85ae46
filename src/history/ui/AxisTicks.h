#pragma once

namespace halvane {

// A value axis whose ticks fall on round numbers: from `first` to `last` in `count` ticks
// `step` apart, the step 1, 2 or 5 times a power of ten, labelled with `decimals` digits
// after the point.
struct AxisTicks {
    double first = 0;
    double last = 1;
    double step = 0.2;
    int count = 6;
    int decimals = 1;

    bool operator==(const AxisTicks&) const = default;
};

// The round axis that holds `low` to `high` in about five steps. A single value gets the
// unit around it; no finite range at all gives 0 to 1.
AxisTicks RoundAxisTicks(double low, double high);

} // namespace halvane
