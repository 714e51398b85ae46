#include "WriteValue.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TagTestSupport.h"
#include "ValueConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvane {
namespace {

using test::ByteOrder;
using test::MakeTag;

TDataChannel OutputTag(int function, int dataType, bool isSigned = false, ByteOrder order = {}) {
    TDataChannel tag = MakeTag(dataType, isSigned);
    tag.Function = function;
    test::SetByteOrder(tag, order);
    return tag;
}

TDataChannel RegisterTag(int dataType, bool isSigned = false, ByteOrder order = {}) {
    return OutputTag(kFunctionWriteRegister, dataType, isSigned, order);
}

TDataChannel CoilTag(int dataType) {
    return OutputTag(kFunctionWriteCoil, dataType);
}

struct RequestCase {
    const char* name;
    TDataChannel tag;
    double value;
    uint32_t rawInteger;
    uint16_t request;
};

TEST(PrepareWriteTest, EncodesTheRequestData) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const TDataChannel word = RegisterTag(kDataTypeWord);
    const TDataChannel bit0 = CoilTag(kDataTypeMaskedBit0);
    const RequestCase cases[] = {
        {"word", word, 1234, 0x04D2, 0x04D2},
        {"word swap bytes", RegisterTag(kDataTypeWord, false, {.swapBytes = true}), 1234, 0xD204,
         0xD204},
        {"word reverse", RegisterTag(kDataTypeWord, false, {.reverse = true}), 1234, 0xD204,
         0xD204},
        {"word keeps low 16 bits", word, 70000, 0x1170, 0x1170},
        {"word fraction truncated", word, 12.9, 12, 12},
        {"negative unsigned word", word, -2, 0xFFFE, 0xFFFE},
        {"signed word", RegisterTag(kDataTypeWord, true), -2, 0xFFFFFFFE, 0xFFFE},
        {"signed byte", RegisterTag(kDataTypeByte, true), -2, 0xFFFFFFFE, 0xFFFE},
        {"byte keeps low 8 bits", RegisterTag(kDataTypeByte), 511, 0xFF, 0x00FF},
        {"signed dword stays unsigned", RegisterTag(kDataTypeDoubleWord, true), -2, 0xFFFE, 0xFFFE},
        {"dword swap words", RegisterTag(kDataTypeDoubleWord, false, {.swapWords = true}), 5,
         0x50000, 0x0000},
        {"dword reverse", RegisterTag(kDataTypeDoubleWord, false, {.reverse = true}), 0x1234,
         0x34120000, 0x0000},
        {"float as integer", RegisterTag(kDataTypeFloatSingle), 25.7, 25, 25},
        {"signed float as unsigned", RegisterTag(kDataTypeFloatSingle, true), -1, 0xFFFF, 0xFFFF},
        {"register bit 2", RegisterTag(kDataTypeMaskedBit0 + 2), 9, 4, 4},
        {"register bit 15", RegisterTag(kDataTypeMaskedBit15), 1, 0x8000, 0x8000},
        {"coil bit 0 on", bit0, 1, 1, 0xFF00},
        {"coil bit 0 off", bit0, 0, 0, 0x0000},
        {"coil bit 7", CoilTag(kDataTypeMaskedBit0 + 7), 5, 0x80, 0xFF00},
        {"coil word", CoilTag(kDataTypeWord), 2, 2, 0xFF00},
        {"coil word, low 16 bits zero", CoilTag(kDataTypeWord), 65536, 0, 0x0000},
        {"beyond 32 bits wraps", word, 4294967296.0 + 5, 5, 5},
        {"huge", word, 1e300, 0, 0},
        {"negative huge", word, -1e300, 0, 0},
        {"not a number", word, nan, 0, 0},
        {"infinity", word, inf, 0, 0},
        {"negative wide", word, -70000, 0xEE90, 0xEE90},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag = c.tag;
        tag.RealValue = c.value;
        tag.Status = "Pending write";
        PrepareWrite(tag);
        EXPECT_EQ(tag.RawInteger, c.rawInteger);
        EXPECT_EQ(WriteRequestValue(tag), c.request);
        EXPECT_TRUE(tag.ValueValid);
    }
}

TEST(PrepareWriteTest, RawValueIsTheIntegerBeforeTheByteOrder) {
    TDataChannel tag = RegisterTag(kDataTypeWord, true, {.swapBytes = true});
    tag.RealValue = -2;
    PrepareWrite(tag);
    EXPECT_EQ(tag.RawValue, -2);
    EXPECT_EQ(tag.RawInteger, 0xFFFFFEFF);
}

struct InverseCase {
    const char* name;
    int linear;
    double a, b, offset;
    std::vector<std::pair<int32_t, double>> points;
    double value;
    uint32_t raw;
};

TEST(ComputeRawForWriteTest, InvertsTheConversionMode) {
    const std::vector<std::pair<int32_t, double>> line = {{0, 0}, {1000, 100}};
    const InverseCase cases[] = {
        {"as is", 0, 0, 0, 0, {}, 42.9, 42},
        {"as is, negative", 0, 0, 0, 0, {}, -2.9, 0xFFFFFFFE},
        {"line", 1, 0.5, 2, -1, {}, 6, 10},
        {"flat line writes 0", 1, 0, 2, -1, {}, 6, 0},
        {"points inside", 2, 0, 0, 5, line, 55, 500},
        {"points at first", 2, 0, 0, 5, line, 5, 0},
        {"points above last", 2, 0, 0, 5, line, 200, 1000},
        {"points below first", 2, 0, 0, 5, line, 0, 0},
        {"rise truncates to 0", 2, 0, 0, 0, {{0, 0}, {1000, 0.5}}, 0.25, 0},
        {"rise taken whole", 2, 0, 0, 0, {{0, 0}, {100, 2.5}}, 1, 50},
        {"second segment", 2, 0, 0, 0, {{0, 0}, {10, 100}, {20, 120}}, 110, 15},
        {"flat part takes its last x", 2, 0, 0, 0, {{0, 0}, {10, 10}, {20, 10}, {30, 20}}, 10, 20},
        {"one point", 2, 0, 0, 3, {{50, 1}}, 10, 7},
        {"falling, high value", 2, 0, 0, 0, {{0, 100}, {1000, 0}}, 50, 1000},
        {"falling, below all", 2, 0, 0, 0, {{0, 100}, {1000, 0}}, -5, 0},
        {"negative point x", 2, 0, 0, 0, {{-10, 0}, {10, 20}}, 0, 0xFFFFFFF6},
    };
    for (const InverseCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag = test::ScaledTag(c.linear, c.a, c.b, c.offset, c.points);
        tag.RealValue = c.value;
        EXPECT_EQ(ComputeRawForWrite(tag), c.raw);
    }
}

// A holding register as a device keeps it: a write stores the request value, and a read
// of one register hands its two data bytes back, high byte first.
ValueBuffer ReadBack(uint16_t registerValue) {
    return test::FromReply(
        {static_cast<uint8_t>(registerValue >> 8), static_cast<uint8_t>(registerValue & 0xFF)});
}

double WriteAndReadBack(TDataChannel tag, double value) {
    tag.RealValue = value;
    PrepareWrite(tag);
    StoreReading(tag, ReadBack(WriteRequestValue(tag)), nullptr);
    return tag.RealValue;
}

// Every one-register type reads back the whole value it wrote, within its range, with any
// byte-order options: the options permute the same bytes on the way out and back in.
// Not covered, because they cannot read back what they write:
//  - Double word and both float types: a write sends one register, but their reading takes
//    two or four registers with the first as the most significant word, and a float tag
//    writes a whole number, not its floating-point form.
//  - Bits 8..15 (ids 28..35): they have no byte length, so a reading of them is always 0.
//  - Values outside the type's range (they wrap) and fractions (they are truncated).
TEST(WriteRoundTripTest, OneRegisterTypesReadBackTheirValue) {
    struct Range {
        int dataType;
        bool isSigned;
        std::vector<double> values;
    };
    std::vector<Range> ranges = {
        {kDataTypeWord, false, {0, 1, 1234, 0x8000, 65535}},
        {kDataTypeWord, true, {-32768, -2, 0, 1, 32767}},
        {kDataTypeByte, false, {0, 1, 200, 255}},
        {kDataTypeByte, true, {-128, -1, 0, 127}},
    };
    for (int bit = 0; bit < 8; ++bit) {
        ranges.push_back({kDataTypeMaskedBit0 + bit, false, {0, 1}});
        ranges.push_back({kDataTypeMaskedBit0 + bit, true, {0, 1}});
    }
    for (const Range& range : ranges) {
        for (const ByteOrder order : test::AllByteOrders()) {
            const TDataChannel tag = RegisterTag(range.dataType, range.isSigned, order);
            for (const double value : range.values) {
                EXPECT_EQ(WriteAndReadBack(tag, value), value)
                    << range.dataType << (range.isSigned ? " signed " : " ")
                    << test::Describe(order);
            }
        }
    }
}

TEST(WriteRoundTripTest, ScaledValuesReadBack) {
    TDataChannel line = RegisterTag(kDataTypeWord, false, {.swapBytes = true});
    line.Linear = 1;
    line.ACoff = 0.25;
    line.BCoff = 10;
    line.Offset = 1;
    for (const double value : {11.0, 11.25, 100.0, 16394.75})
        EXPECT_EQ(WriteAndReadBack(line, value), value);

    TDataChannel points = RegisterTag(kDataTypeWord, true);
    points.Linear = 2;
    points.PointCount = 3;
    points.PointX = {-1000, 0, 1000};
    points.PointY = {-50, 0, 100};
    points.Offset = 5;
    for (const double value : {-45.0, -20.0, 5.0, 55.0, 105.0})
        EXPECT_EQ(WriteAndReadBack(points, value), value);
}

// The registers of a multiple write as a reading of the same registers hands them over:
// the last byte on the wire first.
ValueBuffer ReadBackRegisters(const RegisterBytes& registers) {
    ValueBuffer buffer{};
    std::reverse_copy(registers.bytes.begin(),
                      registers.bytes.begin() + static_cast<std::ptrdiff_t>(registers.length),
                      buffer.begin());
    return buffer;
}

using Bytes = std::vector<uint8_t>;

Bytes Wire(const RegisterBytes& registers) {
    return {registers.bytes.begin(),
            registers.bytes.begin() + static_cast<std::ptrdiff_t>(registers.length)};
}

TDataChannel RegistersTag(int dataType, bool isSigned = false, ByteOrder order = {}) {
    return OutputTag(kFunctionWriteRegisters, dataType, isSigned, order);
}

// Written with Write Multiple Registers, every wide type reads back exactly the raw value
// it wrote (a float in its floating-point form), in every byte order.
TEST(WriteRegistersTest, WideTypesReadBackTheirValueInEveryByteOrder) {
    const struct {
        int dataType;
        bool isSigned;
        std::vector<double> values;
    } ranges[] = {
        {kDataTypeDoubleWord, false, {0, 1, 0x12345678, 4294967295.0}},
        {kDataTypeDoubleWord, true, {-2147483648.0, -123456789, -1, 2147483647}},
        {kDataTypeFloatSingle, true, {0, -12345.671875, 3.5e38, 1.0e-3}},
        {kDataTypeFloatDouble, true, {0, -98765.4321, 1.0e300, 6.02214076e23}},
        {kDataTypeWord, false, {0, 1234, 65535}},
    };
    for (const auto& range : ranges) {
        for (const ByteOrder order : test::AllByteOrders()) {
            for (const double value : range.values) {
                TDataChannel tag = RegistersTag(range.dataType, range.isSigned, order);
                tag.RealValue = value;
                const RegisterBytes registers = PrepareRegistersWrite(tag);
                EXPECT_TRUE(tag.ValueValid);
                EXPECT_EQ(registers.length, static_cast<size_t>(std::max(2, tag.ByteLength)));
                TDataChannel reading = tag;
                reading.Function = 2;
                StoreReading(reading, ReadBackRegisters(registers), nullptr);
                const double expected =
                    range.dataType == kDataTypeFloatSingle ? double(float(value)) : value;
                EXPECT_EQ(reading.RawValue, expected)
                    << range.dataType << " " << test::Describe(order) << " " << value;
            }
        }
    }
}

// The registers in the order Modbus devices commonly use: the first register most
// significant, its high byte first; "Swap words" puts the low word first.
TEST(WriteRegistersTest, RegistersGoMostSignificantFirst) {
    const auto wire = [](TDataChannel tag, double value) {
        tag.RealValue = value;
        return Wire(PrepareRegistersWrite(tag));
    };
    EXPECT_EQ(wire(RegistersTag(kDataTypeFloatSingle), 1.0), (Bytes{0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeFloatSingle, false, {.swapWords = true}), 1.0),
              (Bytes{0x00, 0x00, 0x3F, 0x80}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeFloatDouble), -2.0),
              (Bytes{0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeDoubleWord), 0x12345678), (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeDoubleWord, false, {.reverse = true}), 0x12345678),
              (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeDoubleWord, true), -2), (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));
    // A one-register type writes what Write Holding Register would.
    EXPECT_EQ(wire(RegistersTag(kDataTypeWord, false, {.swapBytes = true}), 0x1234),
              (Bytes{0x34, 0x12}));
    EXPECT_EQ(wire(RegistersTag(kDataTypeByte), 0x1FF), (Bytes{0x00, 0xFF}));
    // Float values are not cut to whole numbers; the scaling is inverted exactly.
    TDataChannel scaled = RegistersTag(kDataTypeFloatSingle);
    scaled.Linear = 1;
    scaled.ACoff = 2;
    scaled.BCoff = 1;
    EXPECT_EQ(wire(scaled, 4.0), (Bytes{0x3F, 0xC0, 0x00, 0x00})); // (4 - 1) / 2 = 1.5
}

TEST(PresetValueTest, StoresTheValueAndSurvivesARestart) {
    const test::TempConfig file;
    std::vector<TDataChannel> tags(4);
    {
        ProfileStore store(file.Path());
        tags[3] = RegisterTag(kDataTypeWord);
        tags[3].Port = 1;
        for (size_t i = 0; i < tags.size(); ++i)
            ASSERT_TRUE(tags[i].SaveToConfig(store, static_cast<int>(i)));

        tags[3].ValueValid = true;
        TagTable table;
        table.Assign(tags);
        ASSERT_EQ(PresetValue(table, store, 3, 12.5), PresetOutcome::Stored);
        const TDataChannel preset = table.Snapshot(3);
        EXPECT_EQ(preset.RealValue, 12.5);
        EXPECT_EQ(preset.DefaultValue, 12.5);
        EXPECT_FALSE(preset.ValueValid);
        EXPECT_EQ(preset.Status, "Pending write");

        const std::vector<TDataChannel> before = table.SnapshotAll();
        EXPECT_EQ(PresetValue(table, store, 4, 1), PresetOutcome::NotSaved);
        EXPECT_EQ(table.SnapshotAll(), before);
    }
    ProfileStore restarted(file.Path());
    EXPECT_EQ(restarted.ReadFloat("Channel.3", "DefaultValue", 0), 12.5);
    std::vector<TDataChannel> reloaded = LoadAllTags(restarted);
    ASSERT_EQ(reloaded.size(), 4U);
    EXPECT_EQ(reloaded[3].RealValue, 12.5);
    PrepareWrite(reloaded[3]);
    EXPECT_EQ(WriteRequestValue(reloaded[3]), 12);
}

// A preset waits to be written until a write of its value succeeded: a failed one or one
// that carried an older value leaves it waiting.
TEST(PresetValueTest, AWriteStaysPendingUntilItsValueReachedTheDevice) {
    const test::TempConfig file;
    ProfileStore store(file.Path());
    TagTable table;
    table.Assign({RegisterTag(kDataTypeWord), MakeTag(kDataTypeWord, false)});
    EXPECT_FALSE(table.WritePending(0));
    ASSERT_EQ(PresetValue(table, store, 0, 7), PresetOutcome::Stored);
    EXPECT_TRUE(table.WritePending(0));

    TDataChannel inFlight = table.Snapshot(0);
    PrepareWrite(inFlight);
    TDataChannel failed = inFlight;
    failed.SetTagError("Read: Timeout");
    table.StoreOutcome(0, failed);
    EXPECT_TRUE(table.WritePending(0));
    EXPECT_EQ(table.Snapshot(0).Status, "Read: Timeout");

    ASSERT_EQ(PresetValue(table, store, 0, 8), PresetOutcome::Stored);
    table.StoreOutcome(0, inFlight); // it carried 7
    EXPECT_TRUE(table.WritePending(0));
    EXPECT_EQ(table.Snapshot(0).Status, "Pending write");

    TDataChannel written = table.Snapshot(0);
    PrepareWrite(written);
    table.StoreOutcome(0, written);
    EXPECT_FALSE(table.WritePending(0));
    EXPECT_TRUE(table.Snapshot(0).ValueValid);
    EXPECT_FALSE(table.WritePending(1));
}

// A read-back shows what the device holds, unless a preset came while it was under way:
// the preset waits to be written and stays what the tag shows.
TEST(PresetValueTest, AReadBackUnderWayDoesNotOverwriteAPreset) {
    const test::TempConfig file;
    ProfileStore store(file.Path());
    TagTable table;
    table.Assign({RegisterTag(kDataTypeWord)});
    TDataChannel read = table.Snapshot(0);
    read.RealValue = 50; // what another master left in the register
    read.ValueValid = true;
    ASSERT_TRUE(table.StoreReadBack(0, read));
    EXPECT_EQ(table.Snapshot(0).RealValue, 50);

    TDataChannel underWay = table.Snapshot(0);
    ASSERT_EQ(PresetValue(table, store, 0, 60), PresetOutcome::Stored);
    underWay.RealValue = 55;
    EXPECT_FALSE(table.StoreReadBack(0, underWay));
    const TDataChannel shown = table.Snapshot(0);
    EXPECT_EQ(shown.RealValue, 60);
    EXPECT_EQ(shown.Status, "Pending write");
    EXPECT_TRUE(table.WritePending(0));
}

// A preset is refused, not cut to the register's bits, when its raw value does not fit.
TEST(PresetRangeTest, RefusesValuesTheRegisterCannotHold) {
    const TDataChannel scaled = test::ScaledTag(1, 0.5, 0, 0, {}); // raw = real / 0.5
    const struct {
        const char* name;
        TDataChannel tag;
        double value;
        bool fits;
    } cases[] = {
        {"word 65535", RegisterTag(kDataTypeWord), 65535, true},
        {"word 70000", RegisterTag(kDataTypeWord), 70000, false},
        {"word -5", RegisterTag(kDataTypeWord), -5, false},
        {"word 0.9 truncates to 0", RegisterTag(kDataTypeWord), 0.9, true},
        {"signed word -32768", RegisterTag(kDataTypeWord, true), -32768, true},
        {"signed word 32768", RegisterTag(kDataTypeWord, true), 32768, false},
        {"byte 255", RegisterTag(kDataTypeByte), 255, true},
        {"byte 256", RegisterTag(kDataTypeByte), 256, false},
        {"signed byte -129", RegisterTag(kDataTypeByte, true), -129, false},
        {"double word 65536", RegisterTag(kDataTypeDoubleWord), 65536, false},
        {"float 65535", RegisterTag(kDataTypeFloatSingle), 65535, true},
        {"float -1", RegisterTag(kDataTypeFloatSingle, true), -1, false},
        {"coil bit 7, 5", CoilTag(kDataTypeMaskedBit0 + 7), 5, true},
        {"coil bit 0, 65536 would switch off", CoilTag(kDataTypeMaskedBit0), 65536, false},
        {"scaled 32767.5 is raw 65535", scaled, 32767.5, true},
        {"scaled 40000 is raw 80000", scaled, 40000, false},
        {"not a number", RegisterTag(kDataTypeWord), std::nan(""), false},
        {"infinity", RegisterTag(kDataTypeWord), std::numeric_limits<double>::infinity(), false},
        {"double word registers 4294967295", RegistersTag(kDataTypeDoubleWord), 4294967295.0, true},
        {"double word registers 2^32", RegistersTag(kDataTypeDoubleWord), 4294967296.0, false},
        {"double word registers -1", RegistersTag(kDataTypeDoubleWord), -1, false},
        {"signed double word registers -2^31", RegistersTag(kDataTypeDoubleWord, true),
         -2147483648.0, true},
        {"float registers 0.25", RegistersTag(kDataTypeFloatSingle), 0.25, true},
        {"float registers -1e38", RegistersTag(kDataTypeFloatSingle), -1e38, true},
        {"float registers 1e39", RegistersTag(kDataTypeFloatSingle), 1e39, false},
        {"double registers 1e300", RegistersTag(kDataTypeFloatDouble), 1e300, true},
        {"double registers infinity", RegistersTag(kDataTypeFloatDouble),
         std::numeric_limits<double>::infinity(), false},
        {"word registers 70000", RegistersTag(kDataTypeWord), 70000, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!PresetRangeError(c.tag, c.value), c.fits) << c.name;
    EXPECT_EQ(PresetRangeError(RegisterTag(kDataTypeWord, true), 70000),
              "The value 70000 does not fit the register. The register takes -32768 to 32767.");
    EXPECT_EQ(PresetRangeError(scaled, 40000), "The value 40000 does not fit the register (it is "
                                               "written as 80000). The register takes 0 to 65535.");
}

// What the "Set value" dialog offers: the register's range through the conversion.
TEST(PresetRangeTest, RealRangeIsTheRegistersRangeThroughTheConversion) {
    using Range = std::pair<double, double>;
    EXPECT_EQ(WritableRealRange(RegisterTag(kDataTypeWord)), Range(0, 65535));
    EXPECT_EQ(WritableRealRange(RegisterTag(kDataTypeByte, true)), Range(-128, 127));
    EXPECT_EQ(WritableRealRange(test::ScaledTag(1, 0.5, 0, 0, {})), Range(0, 32767.5));
    EXPECT_EQ(WritableRealRange(test::ScaledTag(1, -2, 10, 0, {})), Range(-131060, 10));
    EXPECT_EQ(WritableRealRange(RegistersTag(kDataTypeDoubleWord, true)),
              Range(-2147483648.0, 2147483647.0));
}

TEST(PresetRangeTest, ARefusedPresetChangesNothing) {
    const test::TempConfig file;
    ProfileStore store(file.Path());
    TagTable table;
    table.Assign({RegisterTag(kDataTypeWord)});
    ASSERT_TRUE(table.Snapshot(0).SaveToConfig(store, 0));
    const TDataChannel before = table.Snapshot(0);
    EXPECT_EQ(PresetValue(table, store, 0, 70000), PresetOutcome::OutOfRange);
    EXPECT_EQ(table.Snapshot(0), before);
    EXPECT_EQ(store.ReadFloat("Channel.0", "DefaultValue", -1), before.DefaultValue);
}

TDataChannel PumpSpeed(std::optional<double> low, std::optional<double> high) {
    TDataChannel tag = RegisterTag(kDataTypeWord);
    tag.Name = "Pump speed setpoint";
    tag.Unit = "%";
    tag.WriteMin = low;
    tag.WriteMax = high;
    return tag;
}

// The limits are checked before the register's range, on the value as typed; a refused
// value leaves the tag and its file as they were.
TEST(WriteLimitsTest, PresetValueRefusesValuesOutsideTheLimits) {
    const std::optional<double> none;
    const struct {
        const char* name;
        TDataChannel tag;
        double value;
        std::optional<std::string> refused;
    } cases[] = {
        {"above both", PumpSpeed(0, 100), 250,
         "The value 250 is outside the limits of Pump speed setpoint: 0 to 100 %."},
        {"below both", PumpSpeed(0, 100), -0.5,
         "The value -0.5 is outside the limits of Pump speed setpoint: 0 to 100 %."},
        {"on the upper limit", PumpSpeed(0, 100), 100, std::nullopt},
        {"on the lower limit", PumpSpeed(0, 100), 0, std::nullopt},
        {"fraction of a limit", PumpSpeed(12.5, 87.5), 87.6,
         "The value 87.6 is outside the limits of Pump speed setpoint: 12.5 to 87.5 %."},
        {"minimum only", PumpSpeed(10, none), 5,
         "The value 5 is outside the limits of Pump speed setpoint: at least 10 %."},
        {"minimum only, any height", PumpSpeed(10, none), 60000, std::nullopt},
        {"maximum only", PumpSpeed(none, 100), 101,
         "The value 101 is outside the limits of Pump speed setpoint: at most 100 %."},
        {"limits wider than the register", PumpSpeed(-10, 1e6), 70000,
         "The value 70000 does not fit the register. The register takes 0 to 65535."},
        {"no limits", PumpSpeed(none, none), 250, std::nullopt},
    };
    for (const auto& c : cases) {
        const test::TempConfig file;
        ProfileStore store(file.Path());
        TagTable table;
        table.Assign({c.tag});
        ASSERT_TRUE(c.tag.SaveToConfig(store, 0));
        EXPECT_EQ(PresetRangeError(c.tag, c.value), c.refused) << c.name;
        EXPECT_EQ(PresetValue(table, store, 0, c.value),
                  c.refused ? PresetOutcome::OutOfRange : PresetOutcome::Stored)
            << c.name;
        EXPECT_EQ(table.Snapshot(0).RealValue, c.refused ? c.tag.RealValue : c.value) << c.name;
        EXPECT_EQ(store.ReadFloat("Channel.0", "DefaultValue", -1),
                  c.refused ? c.tag.DefaultValue : c.value)
            << c.name;
    }
    TDataChannel unnamed = PumpSpeed(0, 100);
    unnamed.Unit.clear();
    EXPECT_EQ(PresetRangeError(unnamed, 250),
              "The value 250 is outside the limits of Pump speed setpoint: 0 to 100.");
}

TEST(WriteLimitsTest, PresetRangeIsTheNarrowerOfLimitsAndRegister) {
    using Range = std::pair<double, double>;
    EXPECT_EQ(PresetRealRange(PumpSpeed(0, 100)), Range(0, 100));
    EXPECT_EQ(PresetRealRange(PumpSpeed(-50, 1e6)), Range(0, 65535));
    EXPECT_EQ(PresetRealRange(PumpSpeed(20, std::nullopt)), Range(20, 65535));
    EXPECT_EQ(PresetRealRange(PumpSpeed(std::nullopt, std::nullopt)), Range(0, 65535));
}

} // namespace
} // namespace halvane
