#include "StoredText.h"

#include <gtest/gtest.h>

using namespace halvane;

TEST(StoredText, Utf8StaysOtherBytesAreWindows1252) {
    struct Case {
        std::string stored;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\xC2\xB0"
         "C",
         "\xC2\xB0"
         "C"}, // "°C" stored as UTF-8
        {"\xB0"
         "C",
         "\xC2\xB0"
         "C"},                        // "°C" in the Windows code page
        {"\x80 5", "\xE2\x82\xAC 5"}, // euro sign
        {"Stra\xDF"
         "e",
         "Stra\xC3\x9F"
         "e"},                                            // ß
        {"\xC0\x80", "\xC3\x80\xE2\x82\xAC"},             // overlong form is not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // surrogate is not UTF-8
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},             // truncated sequence
    };
    for (const Case& c : cases)
        EXPECT_EQ(StoredTextToUtf8(c.stored), c.shown) << c.stored;
}
