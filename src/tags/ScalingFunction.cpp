#include "ScalingFunction.h"

#include "NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace halvane {

namespace {

constexpr double kScanStartMax = -100000;
constexpr double kScanStartMin = 100000;

size_t Count(const TDataChannel& tag) {
    return static_cast<size_t>(std::clamp(tag.PointCount, 0, kMaxPoints));
}

std::string FixedText(double value, int decimals) {
    std::string text = FormatFixed(value, decimals);
    std::replace(text.begin(), text.end(), '.', DecimalSeparator());
    return text;
}

} // namespace

void SortPoints(TDataChannel& tag) {
    const size_t n = Count(tag);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&tag](size_t a, size_t b) { return tag.PointX[a] < tag.PointX[b]; });
    const auto xs = tag.PointX;
    const auto ys = tag.PointY;
    for (size_t i = 0; i < n; ++i) {
        tag.PointX[i] = xs[order[i]];
        tag.PointY[i] = ys[order[i]];
    }
}

void FitLinearFunction(TDataChannel& tag) {
    const size_t n = Count(tag);
    if (n == 0) {
        tag.MinX = tag.MaxX = tag.ACoff = tag.BCoff = 0;
        return;
    }
    double maxX = kScanStartMax;
    double minX = kScanStartMin;
    double sumX = 0;
    double sumY = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = tag.PointX[i];
        maxX = std::max(maxX, x);
        minX = std::min(minX, x);
        sumX += x;
        sumY += tag.PointY[i];
    }
    tag.MaxX = maxX;
    tag.MinX = minX;
    if (n == 1) {
        tag.ACoff = tag.BCoff = 0;
        return;
    }
    const double meanX = sumX / static_cast<double>(n);
    const double meanY = sumY / static_cast<double>(n);
    double sxy = 0;
    double sxx = 0;
    for (size_t i = 0; i < n; ++i) {
        const double dx = tag.PointX[i] - meanX;
        sxy += (tag.PointY[i] - meanY) * dx;
        sxx += dx * dx;
    }
    tag.ACoff = sxx == 0 ? 0 : sxy / sxx;
    tag.BCoff = meanY - meanX * tag.ACoff;
}

std::string LinearFunctionText(const TDataChannel& tag) {
    return "Y = (" + FixedText(tag.ACoff, 6) + ") * X + (" + FixedText(tag.BCoff, 6) + ")";
}

std::optional<int32_t> PointXFromValue(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double whole = std::trunc(value);
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(whole);
}

bool AddPoint(TDataChannel& tag, int32_t x, double y) {
    const size_t n = Count(tag);
    if (n >= static_cast<size_t>(kMaxPoints))
        return false;
    tag.PointX[n] = x;
    tag.PointY[n] = y;
    tag.PointCount = static_cast<int>(n) + 1;
    return true;
}

bool ReplacePoint(TDataChannel& tag, int index, int32_t x, double y) {
    if (index < 0 || static_cast<size_t>(index) >= Count(tag))
        return false;
    tag.PointX[static_cast<size_t>(index)] = x;
    tag.PointY[static_cast<size_t>(index)] = y;
    return true;
}

bool RemovePoint(TDataChannel& tag, int index) {
    const size_t n = Count(tag);
    if (index < 0 || static_cast<size_t>(index) >= n)
        return false;
    const auto i = static_cast<ptrdiff_t>(index);
    std::copy(tag.PointX.begin() + i + 1, tag.PointX.begin() + static_cast<ptrdiff_t>(n),
              tag.PointX.begin() + i);
    std::copy(tag.PointY.begin() + i + 1, tag.PointY.begin() + static_cast<ptrdiff_t>(n),
              tag.PointY.begin() + i);
    tag.PointCount = static_cast<int>(n) - 1;
    return true;
}

void MakeLinearPoints(TDataChannel& tag, double multiplier, double offset) {
    tag.PointX[0] = kWizardLowX;
    tag.PointY[0] = multiplier * kWizardLowX + offset;
    tag.PointX[1] = kWizardHighX;
    tag.PointY[1] = multiplier * kWizardHighX + offset;
    tag.PointCount = 2;
}

void CalibrateOffset(TDataChannel& tag, double measured) {
    tag.Offset += measured - tag.RealValue;
}

std::string CalibrationText(double realValue) {
    return FixedText(realValue, 2);
}

std::vector<ChartPoint> FunctionSeries(const TDataChannel& tag) {
    const size_t n = Count(tag);
    std::vector<ChartPoint> points;
    if (n < 2)
        return points;
    points.reserve(n);
    for (size_t i = 0; i < n; ++i)
        points.push_back({static_cast<double>(tag.PointX[i]), tag.PointY[i]});
    return points;
}

std::vector<ChartPoint> LinearizedSeries(const TDataChannel& tag, bool withOffset) {
    if (Count(tag) < 2)
        return {};
    const double shift = tag.BCoff + (withOffset ? tag.Offset : 0.0);
    return {{tag.MinX, tag.ACoff * tag.MinX + shift}, {tag.MaxX, tag.ACoff * tag.MaxX + shift}};
}

} // namespace halvane
