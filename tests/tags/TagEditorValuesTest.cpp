#include "TagEditorValues.h"

#include "NumberFormat.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

class TagEditorValuesTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
};

TDataChannel ConfiguredTag() {
    TDataChannel tag;
    tag.Port = 3;
    tag.ModuleAddr = 17;
    tag.RegisterAddr = 1000;
    tag.Function = 5;
    tag.DataType = 2;
    tag.ByteLength = 4;
    tag.Signed = true;
    tag.SwapWords = true;
    tag.ReverseOrder = true;
    tag.Name = "Flow";
    tag.Unit = "m3/h";
    tag.Desc = "Inlet";
    tag.Format = "%0.1f";
    tag.HighThreshold = 12.5;
    tag.LowThreshold = -0.25;
    tag.EnableAlert = true;
    tag.SMSAlert = true;
    tag.AlarmPriority = 1;
    tag.AlarmDeadband = 0.5;
    tag.AlarmDelay = 2.5;
    tag.WriteMin = -1.5;
    tag.WriteMax = 40;
    tag.Linear = 1;
    tag.Filter = 1;
    return tag;
}

TEST_F(TagEditorValuesTest, ControlsShowTheTagAndReadBackIntoIt) {
    const TDataChannel tag = ConfiguredTag();
    const TagEditorValues values = EditorValuesFromTag(tag);
    EXPECT_EQ(values.dataTypeRow, 2);
    EXPECT_EQ(values.registerAddress, "1000");
    EXPECT_EQ(values.highThreshold, "12.5");
    EXPECT_EQ(values.lowThreshold, "-0.25");
    EXPECT_EQ(values.linear, 1);

    TDataChannel read; // a new tag: every configured field must come from the controls
    EXPECT_EQ(ApplyEditorValues(values, read), std::nullopt);
    EXPECT_EQ(read, tag);
}

TEST_F(TagEditorValuesTest, ThresholdsAreBothZeroUnlessBothAreNumbers) {
    const struct {
        const char* high;
        const char* low;
        char separator;
        double highValue, lowValue;
    } cases[] = {
        {"10", "2", '.', 10, 2}, {"", "", '.', 0, 0},           {"10", "abc", '.', 0, 0},
        {"abc", "2", '.', 0, 0}, {"1,5", "0.5", ',', 1.5, 0.5}, {"1e3", " 7 ", '.', 1000, 7},
    };
    for (const auto& c : cases) {
        SetDecimalSeparator(c.separator);
        TagEditorValues values = EditorValuesFromTag(ConfiguredTag());
        values.highThreshold = c.high;
        values.lowThreshold = c.low;
        TDataChannel tag = ConfiguredTag();
        EXPECT_EQ(ApplyEditorValues(values, tag), std::nullopt);
        EXPECT_EQ(tag.HighThreshold, c.highValue) << c.high << " / " << c.low;
        EXPECT_EQ(tag.LowThreshold, c.lowValue) << c.high << " / " << c.low;
    }
}

// The deadband and delay: numbers of 0 or more in the user's format; anything else is named
// and leaves the whole tag as it was, the fields before it included.
TEST_F(TagEditorValuesTest, DeadbandAndDelayAreNumbersOfZeroOrMore) {
    const struct {
        const char* deadband;
        const char* delay;
        char separator;
        std::optional<std::string> refused;
        double deadbandValue, delayValue;
    } cases[] = {
        {"0", "0", '.', std::nullopt, 0, 0},
        {" 1.25 ", "1e2", '.', std::nullopt, 1.25, 100},
        {"0,5", "2,5", ',', std::nullopt, 0.5, 2.5},
        {"-0.1", "3", '.', "Deadband '-0.1' is not valid: enter a number of 0 or more", 0.5, 2.5},
        {"1", "-3", '.', "Delay '-3' is not valid: enter a number of 0 or more", 0.5, 2.5},
        {"", "3", '.', "Deadband '' is not valid: enter a number of 0 or more", 0.5, 2.5},
        {"1", "5 s", '.', "Delay '5 s' is not valid: enter a number of 0 or more", 0.5, 2.5},
        {"1e999", "3", '.', "Deadband '1e999' is not valid: enter a number of 0 or more", 0.5, 2.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.deadband) + "|" + c.delay);
        SetDecimalSeparator(c.separator);
        TagEditorValues values = EditorValuesFromTag(ConfiguredTag());
        values.port = 4;
        values.alarmPriority = 3;
        values.alarmDeadband = c.deadband;
        values.alarmDelay = c.delay;
        EXPECT_EQ(RefusedAlarmField(values), c.refused);
        TDataChannel tag = ConfiguredTag();
        EXPECT_EQ(ApplyEditorValues(values, tag), c.refused);
        EXPECT_EQ(tag.Port, c.refused ? 3 : 4);
        EXPECT_EQ(tag.AlarmPriority, c.refused ? 1 : 4);
        EXPECT_EQ(tag.AlarmDeadband, c.deadbandValue);
        EXPECT_EQ(tag.AlarmDelay, c.delayValue);
    }
}

// Empty fields are no limit; a refused pair leaves the whole tag as it was.
TEST_F(TagEditorValuesTest, WriteLimitsAreEmptyOrNumbersInOrder) {
    const std::optional<double> none;
    const struct {
        const char* low;
        const char* high;
        std::optional<std::string> refused;
        std::optional<double> lowValue, highValue;
    } cases[] = {
        {"", "", std::nullopt, none, none},
        {" 0 ", "", std::nullopt, 0.0, none},
        {"", "1e3", std::nullopt, none, 1000.0},
        {"5", "5", std::nullopt, 5.0, 5.0},
        {"100", "0", "The write minimum 100 is above the write maximum 0.", -1.5, 40.0},
        {"abc", "10", "Write minimum 'abc' is not valid: enter a number or leave it empty", -1.5,
         40.0},
        {"0", "1e999", "Write maximum '1e999' is not valid: enter a number or leave it empty", -1.5,
         40.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.low) + "|" + c.high);
        TagEditorValues values = EditorValuesFromTag(ConfiguredTag());
        values.port = 4;
        values.writeMin = c.low;
        values.writeMax = c.high;
        EXPECT_EQ(RefusedWriteLimits(values), c.refused);
        TDataChannel tag = ConfiguredTag();
        EXPECT_EQ(ApplyEditorValues(values, tag), c.refused);
        EXPECT_EQ(tag.Port, c.refused ? 3 : 4);
        EXPECT_EQ(tag.WriteMin, c.lowValue);
        EXPECT_EQ(tag.WriteMax, c.highValue);
    }
    TDataChannel unlimited;
    EXPECT_EQ(EditorValuesFromTag(unlimited).writeMin, "");
    EXPECT_EQ(EditorValuesFromTag(unlimited).writeMax, "");
}

TEST_F(TagEditorValuesTest, BadAddressStopsReadingWhereItFails) {
    TagEditorValues values = EditorValuesFromTag(ConfiguredTag());
    values.port = 4;
    values.slaveAddress = "x1";
    values.registerAddress = "12";
    values.name = "Renamed";
    TDataChannel tag = ConfiguredTag();
    EXPECT_EQ(ApplyEditorValues(values, tag), "'x1' is not a valid integer value");
    TDataChannel expected = ConfiguredTag();
    expected.Port = 4;
    EXPECT_EQ(tag, expected);

    values.slaveAddress = "9";
    values.registerAddress = "1.5";
    tag = ConfiguredTag();
    EXPECT_EQ(ApplyEditorValues(values, tag), "'1.5' is not a valid integer value");
    expected.ModuleAddr = 9;
    EXPECT_EQ(tag, expected);
}

TEST_F(TagEditorValuesTest, UncheckedChoicesLeaveTheirFieldsAlone) {
    TDataChannel tag = ConfiguredTag();
    tag.Linear = 7;    // from a hand-edited file: no conversion button stands for it
    tag.DataType = 30; // bit 10: no entry in the list
    const TagEditorValues values = EditorValuesFromTag(tag);
    EXPECT_EQ(values.linear, std::nullopt);
    EXPECT_EQ(values.dataTypeRow, -1);
    EXPECT_EQ(ApplyEditorValues(values, tag), std::nullopt);
    EXPECT_EQ(tag.Linear, 7);
    EXPECT_EQ(tag.DataType, 30);
}

TEST_F(TagEditorValuesTest, SelectedDataTypeSetsItsByteLength) {
    TDataChannel tag = ConfiguredTag();
    TagEditorValues values = EditorValuesFromTag(tag);
    values.dataTypeRow = DataTypeRow(kDataTypeFloatDouble);
    EXPECT_EQ(ApplyEditorValues(values, tag), std::nullopt);
    EXPECT_EQ(tag.DataType, kDataTypeFloatDouble);
    EXPECT_EQ(tag.ByteLength, 8);
}

TEST_F(TagEditorValuesTest, UntouchedTextKeepsItsStoredBytes) {
    TDataChannel tag = ConfiguredTag();
    tag.Unit = "\xB0"
               "C"; // Windows-1252, as an old file stores it
    TagEditorValues values = EditorValuesFromTag(tag);
    EXPECT_EQ(values.unit, "\xC2\xB0"
                           "C");
    EXPECT_EQ(ApplyEditorValues(values, tag), std::nullopt);
    EXPECT_EQ(tag.Unit, "\xB0"
                        "C");

    values.unit = "\xC2\xB0"
                  "F";
    EXPECT_EQ(ApplyEditorValues(values, tag), std::nullopt);
    EXPECT_EQ(tag.Unit, "\xC2\xB0"
                        "F");
}

TEST_F(TagEditorValuesTest, DataTypeListAndSignRule) {
    EXPECT_EQ(DataTypeItemText(DataTypes()[0]), "Integer - Byte (1 B)");
    EXPECT_EQ(DataTypeItemText(DataTypes()[12]), "Float - Double precision (8 B)");
    const struct {
        int row;
        bool enabled, forceSigned;
    } cases[] = {
        {DataTypeRow(kDataTypeFloatSingle), false, true},
        {DataTypeRow(kDataTypeFloatDouble), false, true},
        {DataTypeRow(kDataTypeWord), true, false},
        {DataTypeRow(kDataTypeMaskedBit0 + 7), true, false},
        {-1, true, false}, // no selection counts as Word
    };
    for (const auto& c : cases) {
        const SignOptions options = SignOptionsFor(c.row);
        EXPECT_EQ(options.enabled, c.enabled) << c.row;
        EXPECT_EQ(options.forceSigned, c.forceSigned) << c.row;
    }
}

TEST_F(TagEditorValuesTest, RegisterAddressInHexadecimal) {
    const struct {
        const char* text;
        std::optional<std::string> hex;
    } cases[] = {
        {"1000", "0x03E8"}, {"0", "0x0000"},    {"65535", "0xFFFF"},   {"99999", "0x1869F"},
        {"$10", "0x0010"},  {"", std::nullopt}, {"12a", std::nullopt}, {"-", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegisterHexText(c.text), c.hex) << c.text;
}

} // namespace
} // namespace halvane
