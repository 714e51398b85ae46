#include "TraceLine.h"
#include "FrameBytes.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Hex;
using test::Text;

TEST(TraceLine, Lines) {
    struct Row {
        const char* name;
        int connection;
        TraceDirection direction;
        std::vector<uint8_t> bytes;
        std::string line;
    };
    const Row rows[] = {
        {"ASCII request", 2, TraceDirection::Tx, Text(":010300000001FB\r\n"),
         "2 TX: 3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A \t (:010300000001FB..)"},
        {"RTU request", 1, TraceDirection::Tx, Hex("01 03 00 00 00 01 84 0A"),
         "1 TX: 01 03 00 00 00 01 84 0A \t (......\x84.)"},
        {"reply cut short", 4, TraceDirection::Rx, Hex("12 34 00"), "4 RX: 12 34 00 \t (.4.)"},
        {"printable limits", 3, TraceDirection::Rx, Hex("1F 20 7E 7F FF"),
         "3 RX: 1F 20 7E 7F FF \t (. ~\x7F\xFF)"},
        {"nothing", 1, TraceDirection::Rx, {}, "1 RX: \t ()"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TraceLine(row.connection, row.direction, row.bytes), row.line) << row.name;
}

} // namespace
} // namespace halvane
