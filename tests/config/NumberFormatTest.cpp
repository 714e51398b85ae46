#include "NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace halvane;

TEST(NumberFormat, GeneralFormatWith15SignificantDigits) {
    struct Case {
        double value;
        char separator;
        const char* text;
    };
    const Case cases[] = {
        {0.0, '.', "0"},
        {-0.0, '.', "0"},
        {1.0, '.', "1"},
        {-2.5, '.', "-2.5"},
        {4.5, ',', "4,5"},
        {0.1, '.', "0.1"},
        {0.00125, '.', "0.00125"},
        {0.00001, '.', "0.00001"},
        {0.000001, '.', "1E-6"},
        {1.5e-7, ',', "1,5E-7"},
        {123456789012345.0, '.', "123456789012345"},
        {1234567890123456.0, '.', "1.23456789012346E15"},
        {1.5e20, '.', "1.5E20"},
        {-1e100, '.', "-1E100"},
        {1.0 / 3.0, '.', "0.333333333333333"},
        {2.0 / 3.0, '.', "0.666666666666667"},
        {100.0, '.', "100"},
        {99999.999999999999, '.', "100000"},
        {1.23456, '.', "1.23456"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatGeneral(c.value, c.separator), c.text) << c.text;
    EXPECT_EQ(FormatGeneral(std::nan(""), '.'), "NAN");
    EXPECT_EQ(FormatGeneral(-INFINITY, '.'), "-INF");
}

TEST(NumberFormat, GeneralFormatReadsBackToTheSameText) {
    for (double v : {0.1, 1e-5, 3.14159265358979, -42.125, 1.5e20, 7e-12, 65535.0}) {
        for (char sep : {'.', ','}) {
            const std::string text = FormatGeneral(v, sep);
            const auto back = ParseFloat(text, sep);
            ASSERT_TRUE(back) << text;
            EXPECT_EQ(FormatGeneral(*back, sep), text);
        }
    }
}

TEST(NumberFormat, ParseFloat) {
    struct Case {
        const char* text;
        char separator;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"4.5", '.', 4.5}, {"4,5", ',', 4.5},  {"4.5", ',', 4.5},      {" -3 ", '.', -3},
        {"+2", '.', 2},    {"1E3", '.', 1000}, {"1,5E-2", ',', 0.015}, {"", '.', {}},
        {"   ", '.', {}},  {"abc", '.', {}},   {"4,5", '.', {}},       {"1.2.3", '.', {}},
        {"inf", '.', {}},  {"nan", '.', {}},   {"0x10", '.', {}},      {"12abc", '.', {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseFloat(c.text, c.separator), c.value) << '"' << c.text << '"';
}

TEST(NumberFormat, ParseInteger) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"-17", -17},
        {" 8 ", 8},
        {"+5", 5},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", {}},
        {"$100000000", {}},
        {"yes", {}},
        {"", {}},
        {"1.5", {}},
        {"0x", {}},
        {"12 3", {}},
        {"$", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberFormat, CPrefixConversions) {
    EXPECT_EQ(StrtolPrefix("  -12abc"), -12);
    EXPECT_EQ(StrtolPrefix("abc"), 0);
    EXPECT_EQ(StrtolPrefix("+7;"), 7);
    EXPECT_EQ(StrtolPrefix("99999999999999999999999"), LONG_MAX);
    EXPECT_DOUBLE_EQ(StrtodPrefix("2.5xyz"), 2.5);
    EXPECT_DOUBLE_EQ(StrtodPrefix(" -1e2"), -100);
    EXPECT_DOUBLE_EQ(StrtodPrefix("abc"), 0);
    EXPECT_DOUBLE_EQ(StrtodPrefix(""), 0);
    EXPECT_EQ(StrtodPrefix("1e999"), HUGE_VAL);
    EXPECT_EQ(StrtodPrefix("1e-999"), 0);
}

TEST(NumberFormat, FixedWithPointWhateverTheLocale) {
    EXPECT_EQ(FormatFixed(1.23456, 4), "1.2346");
    EXPECT_EQ(FormatFixed(0, 4), "0.0000");
    EXPECT_EQ(FormatFixed(-5, 4), "-5.0000");
}
