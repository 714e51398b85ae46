#include "PresetInput.h"
#include "NumberFormat.h"
#include "TagTestSupport.h"
#include "TagVocabulary.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

TDataChannel Setpoint(const char* unit) {
    TDataChannel tag = test::MakeTag(kDataTypeWord, true);
    tag.Function = kFunctionWriteRegister;
    tag.Unit = unit;
    tag.Format = "%0.1f";
    tag.RealValue = -12.5;
    return tag;
}

TEST(PresetInputTest, DescribesTheValueAndTheRangeInTheUsersFormat) {
    SetDecimalSeparator(',');
    TDataChannel tag = Setpoint("°C");
    tag.Linear = 1;
    tag.ACoff = 0.5;
    EXPECT_EQ(DescribePreset(tag), (PresetPrompt{"-12.5 °C (Unknown)", "-16384 to 16383,5 °C"}));
    tag.ValueValid = true;
    tag.Unit.clear();
    EXPECT_EQ(DescribePreset(tag).current, "-12.5");
    EXPECT_EQ(ReadPresetText(tag, "1,5"), (PresetEntry{1.5, {}}));
    EXPECT_EQ(ReadPresetText(tag, "1.5"), (PresetEntry{1.5, {}}));
    EXPECT_EQ(ReadPresetText(tag, "x1").message, "'x1' is not a valid floating point value");
    EXPECT_EQ(ReadPresetText(tag, "20000").message,
              "The value 20000 does not fit the register (it is written as 40000). The register "
              "takes -32768 to 32767.");
    SetDecimalSeparator('.');
}

// The dialog offers what a preset accepts: the register's range within the write limits.
TEST(PresetInputTest, RangeIsNarrowedByTheWriteLimits) {
    TDataChannel tag = Setpoint("%");
    tag.Name = "Boiler";
    tag.WriteMin = -5;
    tag.WriteMax = 99.5;
    EXPECT_EQ(DescribePreset(tag).range, "-5 to 99.5 %");
    tag.WriteMin = -40000;
    EXPECT_EQ(DescribePreset(tag).range, "-32768 to 99.5 %");
    EXPECT_EQ(ReadPresetText(tag, "100").message,
              "The value 100 is outside the limits of Boiler: -40000 to 99.5 %.");
}

} // namespace
} // namespace halvane
