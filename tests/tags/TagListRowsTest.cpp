#include "TagListRows.h"

#include "NumberFormat.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace halvane {
namespace {

class TagListRowsTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
};

TEST_F(TagListRowsTest, HeadersAndWidthsCoverTwelveColumns) {
    ASSERT_EQ(TagListHeaders().size(), 12u);
    ASSERT_EQ(TagListColumnWidths().size(), 12u);
    EXPECT_EQ(TagListHeaders()[6], "Register address");
    EXPECT_EQ(TagListHeaders()[11], "Polling");
    EXPECT_EQ(TagListColumnWidths()[10], 170);
}

TEST_F(TagListRowsTest, RegisterAddressInDecimalAndHexadecimal) {
    const struct {
        int address;
        const char* text;
    } cases[] = {
        {0, "0 (0x00)"},         {5, "5 (0x05)"},         {100, "100 (0x64)"},
        {255, "255 (0xFF)"},     {4096, "4096 (0x1000)"}, {65535, "65535 (0xFFFF)"},
        {-1, "-1 (0xFFFFFFFF)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegisterAddressText(c.address), c.text) << c.address;
}

TEST_F(TagListRowsTest, ConfigurationColumns) {
    TDataChannel tag;
    tag.Name = "Tank \xB0"; // Windows-1252 degree sign, as an old file stores it
    tag.Desc = "Level";
    tag.Port = 2;
    tag.ModuleAddr = 7;
    tag.Function = 5;
    tag.RegisterAddr = 100;
    tag.DataType = 101;
    const TagListConfigCells expected{"4",          "Tank \xC2\xB0",
                                      "Level",      "Serial #2",
                                      "7",          "(6) Write Holding Register",
                                      "100 (0x64)", "Float - Single precision"};
    EXPECT_EQ(ConfigCells(tag, 3), expected);

    tag.Function = 9;
    tag.DataType = 28; // bit 8: understood by the conversion, but not in the table
    tag.Port = 7;
    const TagListConfigCells odd = ConfigCells(tag, 0);
    EXPECT_EQ(odd[3], "Unknown");
    EXPECT_EQ(odd[5], "Unknown");
    EXPECT_EQ(odd[7], "");
}

TEST_F(TagListRowsTest, LiveColumnsAndStatusIcon) {
    const struct {
        const char* name;
        TagLiveState state;
        TagListLiveCells cells;
        TagStatusIcon icon;
    } cases[] = {
        {"valid with unit",
         {1234, 12.5, true, false, "Unknown", "V"},
         {"1234", "12.5 V", "OK", "   "},
         TagStatusIcon::Ok},
        {"valid without unit",
         {0.0001, 1e6, true, true, "", ""},
         {"0.0001", "1e+06", "OK", "   "},
         TagStatusIcon::Ok},
        {"six significant digits",
         {123456789, -2.5e-7, true, false, "", ""},
         {"1.23457e+08", "-2.5e-07", "OK", "   "},
         TagStatusIcon::Ok},
        {"disabled",
         {5, 5, false, false, "Cfg: Disabled", "V"},
         {"-", "-", "Cfg: Disabled", "   "},
         TagStatusIcon::Error},
        {"never polled",
         {0, 0, false, false, "Unknown", ""},
         {"-", "-", "Unknown", "   "},
         TagStatusIcon::None},
        {"failed",
         {0, 0, false, true, "Read: Timeout", ""},
         {"-", "-", "Read: Timeout", "   "},
         TagStatusIcon::Error},
        {"unit in Windows-1252",
         {1, 20, true, false, "",
          "\xB0"
          "C"},
         {"1",
          "20 \xC2\xB0"
          "C",
          "OK", "   "},
         TagStatusIcon::Ok},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LiveCells(c.state), c.cells) << c.name;
        EXPECT_EQ(StatusIcon(c.state), c.icon) << c.name;
    }
}

TEST_F(TagListRowsTest, NumbersUseTheLocaleSeparator) {
    SetDecimalSeparator(',');
    EXPECT_EQ(ShortNumberText(12.5), "12,5");
    EXPECT_EQ(ShortNumberText(1.5e-9), "1,5e-09");
    EXPECT_EQ(ShortNumberText(std::numeric_limits<double>::infinity()), "inf");
}

TEST_F(TagListRowsTest, LiveStateCopiesWhatTheColumnsShow) {
    TDataChannel tag;
    tag.RawValue = 3;
    tag.RealValue = 4;
    tag.ValueValid = true;
    tag.PollingNow = true;
    tag.Status = "Pending write";
    tag.Unit = "bar";
    EXPECT_EQ(LiveState(tag), (TagLiveState{3, 4, true, true, "Pending write", "bar"}));
}

TEST_F(TagListRowsTest, CloneAppendsCopyToTheNameAndKeepsTheRest) {
    TDataChannel pump;
    pump.Name = "Pump";
    pump.Port = 4;
    pump.PointCount = 2;
    pump.PointX[1] = 40;
    pump.RealValue = 7;
    TDataChannel expected = pump;
    expected.Name = "Pump (copy)";
    EXPECT_EQ(CloneTag(pump), expected);
}

} // namespace
} // namespace halvane
