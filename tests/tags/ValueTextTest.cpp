#include "ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace halvane {
namespace {

struct TextCase {
    std::string format;
    double value;
    std::string text;
};

TEST(ValueTextTest, AppliesTheTagFormatToTheRealValue) {
    TDataChannel tag;
    tag.RealValue = 3.14159;
    tag.Format = "%0.1f";
    EXPECT_EQ(ValueText(tag), "3.1");
    tag.Format = "%e";
    EXPECT_EQ(ValueText(tag), "3.141590e+00");
    tag.Format = "";
    EXPECT_EQ(ValueText(tag), "");
}

TEST(FormatValueTest, UsesFormatsWithOneFloatingConversion) {
    const double inf = std::numeric_limits<double>::infinity();
    const TextCase cases[] = {
        {"%0.2f", 2.5, "2.50"},
        {"Level: %6.2f m", 3.14159, "Level:   3.14 m"},
        {"%-8.1f|", 3.14159, "3.1     |"},
        {"%+.0f", 3.6, "+4"},
        {"% 05.1f", 3.14159, " 03.1"},
        {"%#.0f", 3, "3."},
        {"%.f", 2.6, "3"},
        {"%g", 0.0001, "0.0001"},
        {"%G", 1e-10, "1E-10"},
        {"%E", 1234.5, "1.234500E+03"},
        {"%a", 1.0, "0x1p+0"},
        {"%F", inf, "INF"},
        {"%lf", 1.5, "1.500000"},
        {"%0.1f %%", 99.44, "99.4 %"},
        {"%%%.1f%%", 5, "%5.0%"},
        {"%99.1f", 1, std::string(96, ' ') + "1.0"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(FormatValue(c.format, c.value), c.text) << c.format;
}

TEST(FormatValueTest, GivesIntegerConversionsTheTruncatedValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TextCase cases[] = {
        {"%d", 3.7, "3"},
        {"%i", -3.7, "-3"},
        {"%05d", 42, "00042"},
        {"%.3d", 7, "007"},
        {"%u", 4294967295.0, "4294967295"},
        {"%x", 255.9, "ff"},
        {"%#X", 255, "0XFF"},
        {"%#o", 8, "010"},
        {"%x", -1, "ffffffffffffffff"},
        {"%d", 1e300, "9223372036854775807"},
        {"%d", -1e300, "-9223372036854775808"},
        {"%d", nan, "nan"},
        {"%x", -std::numeric_limits<double>::infinity(), "-inf"},
        {"%d items", 12, "12 items"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(FormatValue(c.format, c.value), c.text) << c.format << " " << c.value;
}

// None of these can be handed to printf with one double: the value is shown as "%g".
TEST(FormatValueTest, ShowsAnyOtherFormatAsPlainValue) {
    const char* hostile[] = {
        "%s",        "%n",    "%p",    "%c",     "%*d",      "%.*f",      "%1$f",
        "%f %f",     "%d%f",  "abc %", "%",      "%.2",      "%ld",       "%Lf",
        "%lld",      "%hd",   "%llf",  "%jd",    "%zu",      "%#d",       "%#u",
        "%'d",       "%5%",   "%100f", "%.100f", "%999999f", "%.999999f", "%99999999999999999999d",
        "text only", "100%%",
    };
    for (const char* format : hostile)
        EXPECT_EQ(FormatValue(format, 3.14159), "3.14159") << format;
    EXPECT_EQ(FormatValue(std::string("%f\0%s", 5), 3.14159), "3.14159");
}

} // namespace
} // namespace halvane
