#pragma once

#include "TDataChannel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The scaling function of a tag: up to kMaxPoints points (raw x, real y), interpolated
// or replaced by its least-squares line, plus the calibration `Offset`.

// Orders the points by ascending x; points with equal x keep their order.
void SortPoints(TDataChannel& tag);

// The least-squares line through the points into `ACoff` (slope) and `BCoff`
// (intercept), and the range of x into `MinX` and `MaxX`. The range is scanned from
// −100000 (maximum) and +100000 (minimum), so `MaxX` is never below −100000 and
// `MinX` never above 100000. Without points everything is 0; with one point, or when
// all x are equal, the slope is 0.
void FitLinearFunction(TDataChannel& tag);

// "Y = (0.050000) * X + (-1.666667)" of `ACoff` and `BCoff`, with the locale's separator.
std::string LinearFunctionText(const TDataChannel& tag);

// A typed raw value as a point's x: truncated toward zero; nothing when it lies outside
// the 32-bit range or is not finite.
std::optional<int32_t> PointXFromValue(double value);

// Each false when the function is full or `index` is not a point.
bool AddPoint(TDataChannel& tag, int32_t x, double y);
bool ReplacePoint(TDataChannel& tag, int index, int32_t x, double y);
bool RemovePoint(TDataChannel& tag, int index);

// The wizard's straight line y = multiplier · x + offset as its two points at the ends
// of the raw range, x = −65536 and x = 65535. `Offset` is not touched.
constexpr int32_t kWizardLowX = -65536;
constexpr int32_t kWizardHighX = 65535;
void MakeLinearPoints(TDataChannel& tag, double multiplier, double offset);

// Shifts the function so that the tag's `RealValue` becomes `measured`.
void CalibrateOffset(TDataChannel& tag, double measured);
// `RealValue` as the calibration dialog first shows it: two decimals, locale separator.
std::string CalibrationText(double realValue);

struct ChartPoint {
    double x = 0;
    double y = 0;
    bool operator==(const ChartPoint&) const = default;
};
// The points as drawn, none while there are fewer than two.
std::vector<ChartPoint> FunctionSeries(const TDataChannel& tag);
// The fitted line from `MinX` to `MaxX`, with or without `Offset`; none while there are
// fewer than two points.
std::vector<ChartPoint> LinearizedSeries(const TDataChannel& tag, bool withOffset);

} // namespace halvane
