#include "ValueConversion.h"
#include "ProfileStore.h"
#include "TagTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

namespace halvane {
namespace {

using test::ByteOrder;
using test::FromReply;
using test::MakeTag;
using test::TempConfig;

ValueBuffer BufferOf(double value) {
    ValueBuffer buffer{};
    const auto bits = std::bit_cast<uint64_t>(value);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<uint8_t>(bits >> (8 * i));
    return buffer;
}

struct DecodeCase {
    const char* name;
    int dataType;
    bool isSigned;
    ByteOrder order;
    ValueBuffer buffer;
    double raw;
};

TEST(StoreReadingTest, DecodesDataTypesAndByteOrders) {
    const double denormal = std::bit_cast<float>(uint32_t{0x000041C8});
    const DecodeCase cases[] = {
        {"word", kDataTypeWord, false, {}, FromReply({0x12, 0x34}), 4660},
        {"word swap bytes",
         kDataTypeWord,
         false,
         {.swapBytes = true},
         FromReply({0x12, 0x34}),
         13330},
        {"word reverse", kDataTypeWord, false, {.reverse = true}, FromReply({0x12, 0x34}), 13330},
        {"word reverse and swap",
         kDataTypeWord,
         false,
         {true, true},
         FromReply({0x12, 0x34}),
         4660},
        {"word unsigned", kDataTypeWord, false, {}, FromReply({0xFF, 0xFF}), 65535},
        {"word signed", kDataTypeWord, true, {}, FromReply({0xFF, 0xFF}), -1},
        {"dword", kDataTypeDoubleWord, false, {}, FromReply({0x00, 0x01, 0x00, 0x02}), 65538},
        {"dword swap words",
         kDataTypeDoubleWord,
         false,
         {.swapWords = true},
         FromReply({0x00, 0x01, 0x00, 0x02}),
         131073},
        {"dword unsigned max",
         kDataTypeDoubleWord,
         false,
         {},
         FromReply({0xFF, 0xFF, 0xFF, 0xFF}),
         4294967295.0},
        {"dword signed", kDataTypeDoubleWord, true, {}, FromReply({0xFF, 0xFF, 0xFC, 0x18}), -1000},
        {"byte keeps low byte", kDataTypeByte, false, {}, FromReply({0x12, 0x34}), 0x34},
        {"byte signed", kDataTypeByte, true, {}, FromReply({0x00, 0xFE}), -2},
        {"bit 3 set", kDataTypeMaskedBit0 + 3, false, {}, FromReply({0x00, 0x08}), 1},
        {"bit 3 clear", kDataTypeMaskedBit0 + 3, false, {}, FromReply({0x00, 0xF7}), 0},
        {"bit 3 signed", kDataTypeMaskedBit0 + 3, true, {}, FromReply({0x00, 0x08}), 1},
        {"bit 8 has no bytes", kDataTypeMaskedBit0 + 8, false, {}, FromReply({0xFF, 0xFF}), 0},
        {"unknown id has no bytes", 3, false, {}, FromReply({0xFF, 0xFF}), 0},
        {"unknown float id", 103, false, {}, FromReply({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}), 0},
        {"float", kDataTypeFloatSingle, false, {}, FromReply({0x41, 0xC8, 0x00, 0x00}), 25.0},
        {"float swap words",
         kDataTypeFloatSingle,
         false,
         {.swapWords = true},
         FromReply({0x41, 0xC8, 0x00, 0x00}),
         denormal},
        {"double", kDataTypeFloatDouble, false, {}, FromReply({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}), 1.0},
        {"double reverse",
         kDataTypeFloatDouble,
         false,
         {.reverse = true},
         FromReply({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}),
         1.0},
        {"double swap dwords",
         kDataTypeFloatDouble,
         false,
         {.swapDWords = true},
         FromReply({0, 0, 0, 0, 0x3F, 0xF0, 0, 0}),
         1.0},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag = MakeTag(c.dataType, c.isSigned);
        test::SetByteOrder(tag, c.order);
        tag.Status = "Read: Timeout";
        StoreReading(tag, c.buffer, nullptr);
        EXPECT_EQ(tag.RawValue, c.raw);
        EXPECT_EQ(tag.RealValue, c.raw);
        EXPECT_TRUE(tag.ValueValid);
        EXPECT_EQ(tag.Status, "Read: Timeout");
    }
    EXPECT_NEAR(denormal, 2.36e-41, 0.01e-41);
}

TEST(StoreReadingTest, ReadingsOutsideEveryIntegerRangeScaleWithoutFault) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> rows[] = {{1e300, 1e300}, {-1e300, -1e300}, {nan, nan}};
    for (const auto& [raw, expected] : rows) {
        TDataChannel tag = MakeTag(kDataTypeFloatDouble);
        StoreReading(tag, BufferOf(raw), nullptr);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(tag.RealValue));
        } else {
            EXPECT_EQ(tag.RealValue, expected);
        }

        // Held at the last point above it, at the first one otherwise.
        tag.Linear = 2;
        tag.PointCount = 2;
        tag.PointX = {0, 10};
        tag.PointY = {1, 2};
        ComputeRealValue(tag);
        EXPECT_EQ(tag.RealValue, raw > 0 ? 2 : 1);
    }
}

struct ScaleCase {
    const char* name;
    int linear;
    double a, b, offset;
    std::vector<std::pair<int32_t, double>> points;
    double raw;
    double real;
};

TEST(ComputeRealValueTest, ScalesByConversionMode) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const std::vector<std::pair<int32_t, double>> line = {{0, 0}, {1000, 100}};
    const ScaleCase cases[] = {
        {"as is", 0, 0, 0, 0, {}, 42, 42},
        {"whole type truncated", 0, 0, 0, 0, {}, 23.7, 23},
        {"negative whole type truncated", 0, 0, 0, 0, {}, -23.7, -23},
        {"line", 1, 0.5, 2, -1, {}, 50, 26},
        {"line from truncated x", 1, 0.5, 2, -1, {}, 50.9, 26},
        {"points inside", 2, 0, 0, 5, line, 500, 55},
        {"points below first", 2, 0, 0, 5, line, -1, 5},
        {"points at last", 2, 0, 0, 5, line, 1000, 105},
        {"points above last", 2, 0, 0, 5, line, 2000, 105},
        {"one point", 2, 0, 0, 5, {{10, 70}}, 33, 38},
        {"no points", 2, 0, 0, 5, {}, 33, 38},
        {"second segment", 2, 0, 0, 0, {{0, 0}, {10, 100}, {20, 120}}, 15, 110},
        {"step takes the later segment",
         2,
         0,
         0,
         0,
         {{0, 0}, {10, 10}, {10, 20}, {20, 30}},
         10,
         20},
        {"out of order, held at last", 2, 0, 0, 0, {{50, 5}, {100, 10}, {0, 0}}, 20, 0},
        {"out of order, no segment", 2, 0, 0, 0, {{50, 5}, {100, 10}, {0, 0}}, -5, 5},
        {"widest segment", 2, 0, 0, 0, {{kMin, 0}, {kMax, 1}}, 0, 2147483648.0 / 4294967295.0},
        {"other mode uses points", 7, 0, 0, 5, line, 500, 55},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag = test::ScaledTag(c.linear, c.a, c.b, c.offset, c.points);
        tag.RawValue = c.raw;
        ComputeRealValue(tag);
        EXPECT_DOUBLE_EQ(tag.RealValue, c.real);
    }
}

struct FloatScaleCase {
    const char* name;
    int dataType;
    int linear;
    double raw;
    double real;
};

TEST(ComputeRealValueTest, FloatTypesKeepTheirFraction) {
    const FloatScaleCase cases[] = {
        {"single as is", kDataTypeFloatSingle, 0, 101.25, 101.25},
        {"double as is", kDataTypeFloatDouble, 0, -23.7, -23.7},
        {"line", kDataTypeFloatSingle, 1, 50.9, 50.9 * 0.5 + 2 - 1},
        {"points", kDataTypeFloatDouble, 2, 999.5, 99.95 - 1},
        {"points from the first x", kDataTypeFloatSingle, 2, 0.5, 0.05 - 1},
    };
    for (const FloatScaleCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag = test::ScaledTag(c.linear, 0.5, 2, -1, {{0, 0}, {1000, 100}});
        tag.DataType = c.dataType;
        tag.RawValue = c.raw;
        ComputeRealValue(tag);
        EXPECT_DOUBLE_EQ(tag.RealValue, c.real);
    }

    // A single-precision register pair holding 101.25, read as it comes from the device.
    TDataChannel reading = MakeTag(kDataTypeFloatSingle);
    StoreReading(reading, FromReply({0x42, 0xCA, 0x80, 0x00}), nullptr);
    EXPECT_EQ(reading.RealValue, 101.25);
}

struct FilterCase {
    const char* name;
    int setting;
    std::vector<double> readings;
    std::vector<double> filtered;
};

TEST(PulseFilterTest, HoldsHighThroughSettingMinusOneLowReadings) {
    const FilterCase cases[] = {
        {"hold 3", 3, {1, 0, 0, 0, 1}, {1, 1, 1, 0, 1}},
        {"high restarts the count", 3, {1, 0, 0, 1, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 0}},
        {"hold 1", 1, {1, 0}, {1, 0}},
        {"hold 0", 0, {1, 0, 1}, {0, 0, 0}},
        {"0.5 is high", 2, {0.5, 0.49, 0.49}, {1, 1, 0}},
        {"high values become 1", 2, {7, -3, 0}, {1, 1, 0}},
        {"never high", 3, {0, 0}, {0, 0}},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TempConfig file("[General]\nChannel.Filter=" + std::to_string(c.setting) + "\n");
        const ProfileStore store(file.Path());
        TDataChannel tag;
        std::vector<double> filtered;
        for (const double reading : c.readings) {
            tag.RealValue = reading;
            ApplyPulseFilter(tag, &store);
            filtered.push_back(tag.RealValue);
        }
        EXPECT_EQ(filtered, c.filtered);
    }
}

TEST(PulseFilterTest, SettingDefaultsTo60AndIsReadAtEachHighReading) {
    const TempConfig file("[General]\nOther=1\n");
    ProfileStore store(file.Path());
    EXPECT_EQ(PulseFilterSetting(nullptr), 60);
    EXPECT_EQ(PulseFilterSetting(&store), 60);

    TDataChannel tag;
    tag.RealValue = 1;
    ApplyPulseFilter(tag, &store);
    EXPECT_EQ(tag.FilterCountdown, 60);
    store.WriteInteger("General", "Channel.Filter", 2);
    tag.RealValue = 1;
    ApplyPulseFilter(tag, &store);
    EXPECT_EQ(tag.FilterCountdown, 2);
}

TEST(StoreReadingTest, FiltersOnlyFilteredTagsAndNeverTheRawValue) {
    const TempConfig file("[General]\nChannel.Filter=2\n");
    const ProfileStore store(file.Path());
    for (const int filter : {0, 1, 2}) {
        SCOPED_TRACE(filter);
        TDataChannel tag = MakeTag(kDataTypeWord);
        tag.Filter = filter;
        std::vector<double> real;
        for (const uint32_t reading : {5U, 0U, 0U}) {
            StoreReading(tag, ValueBufferFromInteger(reading), &store);
            EXPECT_EQ(tag.RawValue, reading);
            real.push_back(tag.RealValue);
        }
        const std::vector<double> expected =
            filter == 1 ? std::vector<double>{1, 1, 0} : std::vector<double>{5, 0, 0};
        EXPECT_EQ(real, expected);
    }
}

TEST(AlarmStateTest, StrictThresholdsHighFirst) {
    const std::pair<double, int> rows[] = {
        {10, kAlarmNone}, {10.01, kAlarmHigh}, {2, kAlarmNone}, {1.99, kAlarmLow}, {5, kAlarmNone},
    };
    for (const auto& [value, state] : rows) {
        TDataChannel tag;
        tag.HighThreshold = 10;
        tag.LowThreshold = 2;
        tag.RealValue = value;
        tag.EnableAlert = true;
        EXPECT_EQ(AlarmState(tag), state) << value;
        tag.EnableAlert = false;
        EXPECT_EQ(AlarmState(tag), kAlarmNone) << value;
    }
    TDataChannel crossed; // a low threshold above the high one: the high test wins
    crossed.EnableAlert = true;
    crossed.HighThreshold = 1;
    crossed.LowThreshold = 5;
    crossed.RealValue = 3;
    EXPECT_EQ(AlarmState(crossed), kAlarmHigh);
}

TEST(ApplyByteOrderTest, MovesBytesWithinTheValueLength) {
    struct Case {
        int dataType;
        ByteOrder order;
        ValueBuffer expected;
    };
    const Case cases[] = {
        {kDataTypeFloatDouble, {.reverse = true}, {7, 6, 5, 4, 3, 2, 1, 0}},
        {kDataTypeFloatDouble, {.swapBytes = true}, {1, 0, 3, 2, 5, 4, 7, 6}},
        {kDataTypeFloatDouble, {.swapWords = true}, {2, 3, 0, 1, 6, 7, 4, 5}},
        {kDataTypeFloatDouble, {.swapDWords = true}, {4, 5, 6, 7, 0, 1, 2, 3}},
        {kDataTypeDoubleWord, {.reverse = true}, {3, 2, 1, 0, 4, 5, 6, 7}},
        {kDataTypeDoubleWord, {false, true, true, true}, {3, 2, 1, 0, 4, 5, 6, 7}},
        {kDataTypeWord, {false, true, true, true}, {1, 0, 2, 3, 4, 5, 6, 7}},
        {kDataTypeByte, {true, true, true, true}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {kDataTypeMaskedBit0 + 8, {true, true, true, true}, {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases) {
        TDataChannel tag = MakeTag(c.dataType);
        test::SetByteOrder(tag, c.order);
        ValueBuffer bytes;
        std::iota(bytes.begin(), bytes.end(), uint8_t{0});
        ApplyByteOrder(tag, bytes);
        EXPECT_EQ(bytes, c.expected) << c.dataType << " " << test::Describe(c.order);
    }
}

// Writing encodes with the same routine that reading decodes with, so applying the options
// twice must give the bytes back, for every length and every combination.
TEST(ApplyByteOrderTest, AppliedTwiceRestoresTheBytes) {
    for (const int dataType :
         {kDataTypeByte, kDataTypeWord, kDataTypeDoubleWord, kDataTypeFloatDouble}) {
        for (const ByteOrder order : test::AllByteOrders()) {
            TDataChannel tag = MakeTag(dataType);
            test::SetByteOrder(tag, order);
            ValueBuffer bytes;
            std::iota(bytes.begin(), bytes.end(), uint8_t{0x10});
            const ValueBuffer original = bytes;
            ApplyByteOrder(tag, bytes);
            ApplyByteOrder(tag, bytes);
            EXPECT_EQ(bytes, original) << dataType << " " << test::Describe(order);
        }
    }
}

} // namespace
} // namespace halvane
