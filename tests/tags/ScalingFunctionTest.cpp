#include "ScalingFunction.h"

#include "NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace halvane {
namespace {

TDataChannel WithPoints(const std::vector<std::pair<int32_t, double>>& points) {
    TDataChannel tag;
    for (const auto& [x, y] : points)
        EXPECT_TRUE(AddPoint(tag, x, y));
    return tag;
}

std::vector<std::pair<int32_t, double>> Points(const TDataChannel& tag) {
    std::vector<std::pair<int32_t, double>> points;
    for (int i = 0; i < tag.PointCount; ++i)
        points.emplace_back(tag.PointX[static_cast<size_t>(i)], tag.PointY[static_cast<size_t>(i)]);
    return points;
}

class ScalingFunctionTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
};

TEST_F(ScalingFunctionTest, SortingIsAscendingAndKeepsEqualXInOrder) {
    TDataChannel tag = WithPoints({{1000, 50}, {0, 0}, {500, 20}, {-3, 1}, {500, 21}});
    SortPoints(tag);
    EXPECT_EQ(Points(tag), (std::vector<std::pair<int32_t, double>>{
                               {-3, 1}, {0, 0}, {500, 20}, {500, 21}, {1000, 50}}));
}

TEST_F(ScalingFunctionTest, LeastSquaresFit) {
    const struct {
        const char* name;
        std::vector<std::pair<int32_t, double>> points;
        double a, b, minX, maxX;
        const char* text;
    } cases[] = {
        {"no points", {}, 0, 0, 0, 0, "Y = (0.000000) * X + (0.000000)"},
        {"one point", {{7, 3}}, 0, 0, 7, 7, "Y = (0.000000) * X + (0.000000)"},
        {"three points",
         {{1000, 50}, {0, 0}, {500, 20}},
         0.05,
         -5.0 / 3,
         0,
         1000,
         "Y = (0.050000) * X + (-1.666667)"},
        {"equal x", {{5, 1}, {5, 3}}, 0, 2, 5, 5, "Y = (0.000000) * X + (2.000000)"},
        {"beyond the scan's start, high",
         {{200000, 1}, {300000, 2}},
         1e-5,
         -1,
         100000,
         300000,
         "Y = (0.000010) * X + (-1.000000)"},
        {"beyond the scan's start, low",
         {{-200000, 0}, {-150000, 1}},
         2e-5,
         4,
         -200000,
         -100000,
         "Y = (0.000020) * X + (4.000000)"},
    };
    for (const auto& c : cases) {
        TDataChannel tag = WithPoints(c.points);
        tag.ACoff = tag.BCoff = tag.MinX = tag.MaxX = 99; // stale values of an earlier fit
        FitLinearFunction(tag);
        EXPECT_NEAR(tag.ACoff, c.a, 1e-12) << c.name;
        EXPECT_NEAR(tag.BCoff, c.b, 1e-9) << c.name;
        EXPECT_EQ(tag.MinX, c.minX) << c.name;
        EXPECT_EQ(tag.MaxX, c.maxX) << c.name;
        EXPECT_EQ(LinearFunctionText(tag), c.text) << c.name;
    }
}

TEST_F(ScalingFunctionTest, LineTextUsesTheLocaleSeparator) {
    SetDecimalSeparator(',');
    TDataChannel tag;
    tag.ACoff = 0.05;
    tag.BCoff = -1.5;
    EXPECT_EQ(LinearFunctionText(tag), "Y = (0,050000) * X + (-1,500000)");
    EXPECT_EQ(CalibrationText(20.5), "20,50");
}

TEST_F(ScalingFunctionTest, TypedRawValueBecomesAWholeX) {
    const struct {
        double value;
        std::optional<int32_t> x;
    } cases[] = {
        {12.7, 12},
        {-12.7, -12},
        {2147483647.9, 2147483647},
        {-2147483648.5, -2147483647 - 1},
        {2147483648.0, std::nullopt},
        {1e20, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PointXFromValue(c.value), c.x) << c.value;
}

TEST_F(ScalingFunctionTest, AddReplaceAndRemovePoints) {
    TDataChannel tag;
    for (int i = 0; i < kMaxPoints; ++i)
        ASSERT_TRUE(AddPoint(tag, i, i * 2.0));
    EXPECT_FALSE(AddPoint(tag, 1000, 0));
    EXPECT_EQ(tag.PointCount, kMaxPoints);

    EXPECT_TRUE(RemovePoint(tag, 1));
    EXPECT_EQ(tag.PointCount, kMaxPoints - 1);
    EXPECT_EQ(tag.PointX[1], 2);
    EXPECT_EQ(tag.PointY[98], 198.0);
    EXPECT_FALSE(RemovePoint(tag, kMaxPoints - 1));
    EXPECT_FALSE(RemovePoint(tag, -1));

    EXPECT_TRUE(ReplacePoint(tag, 0, -5, 0.5));
    EXPECT_EQ(tag.PointX[0], -5);
    EXPECT_EQ(tag.PointY[0], 0.5);
    EXPECT_FALSE(ReplacePoint(tag, kMaxPoints - 1, 0, 0));
}

TEST_F(ScalingFunctionTest, WizardMakesTwoPointsAndKeepsTheOffset) {
    TDataChannel tag = WithPoints({{1, 1}, {2, 2}, {3, 3}});
    tag.Offset = 4;
    MakeLinearPoints(tag, 0.1, 2);
    EXPECT_EQ(Points(tag), (std::vector<std::pair<int32_t, double>>{{-65536, 0.1 * -65536 + 2},
                                                                    {65535, 0.1 * 65535 + 2}}));
    EXPECT_EQ(tag.Offset, 4);
}

TEST_F(ScalingFunctionTest, CalibrationShiftsTheOffsetByTheDifference) {
    TDataChannel tag;
    tag.RealValue = 20.5;
    tag.Offset = 1;
    CalibrateOffset(tag, 21);
    EXPECT_DOUBLE_EQ(tag.Offset, 1.5);
    EXPECT_EQ(tag.RealValue, 20.5);
    EXPECT_EQ(CalibrationText(20.5), "20.50");
    EXPECT_EQ(CalibrationText(-0.004), "-0.00");
}

TEST_F(ScalingFunctionTest, ChartSeriesNeedTwoPoints) {
    TDataChannel one = WithPoints({{10, 1}});
    FitLinearFunction(one);
    EXPECT_TRUE(FunctionSeries(one).empty());
    EXPECT_TRUE(LinearizedSeries(one, true).empty());

    TDataChannel two = WithPoints({{0, 0}, {1000, 100}});
    two.Offset = 5;
    FitLinearFunction(two);
    EXPECT_EQ(FunctionSeries(two), (std::vector<ChartPoint>{{0, 0}, {1000, 100}}));
    EXPECT_EQ(LinearizedSeries(two, false), (std::vector<ChartPoint>{{0, 0}, {1000, 100}}));
    EXPECT_EQ(LinearizedSeries(two, true), (std::vector<ChartPoint>{{0, 5}, {1000, 105}}));
}

} // namespace
} // namespace halvane
