#include "ModbusChecksum.h"
#include "FrameBytes.h"
#include "HexText.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Hex;
using test::Text;

TEST(ModbusChecksum, Crc16MatchesPublishedAndHandCheckedFrames) {
    struct Row {
        std::vector<uint8_t> bytes;
        uint16_t crc; // as a number: the wire carries the low byte first
    };
    const Row rows[] = {
        {Hex("01 03 00 00 00 0A"), 0xCDC5}, // classic read of 10 registers: C5 CD
        {Hex("01 03 00 00 00 01"), 0x0A84}, // one holding register: 84 0A
        {Hex("11 06 00 01 00 03"), 0x9B9A}, // write 3 to register 1 of slave 17: 9A 9B
        {Hex("01 03 02 12 34"), 0x33B5},    // its reply: B5 33
        {Hex("01 83 02"), 0xF1C0},          // exception 02: C0 F1
        {Text("123456789"), 0x4B37},        // the CRC-16/MODBUS check value
        {{}, 0xFFFF},                       // nothing: the preset
    };
    for (const Row& row : rows)
        EXPECT_EQ(ComputeCrc16(row.bytes), row.crc) << ::testing::PrintToString(row.bytes);
}

TEST(ModbusChecksum, LrcMatchesPublishedAndHandCheckedFrames) {
    struct Row {
        std::vector<uint8_t> bytes;
        uint8_t lrc;
    };
    const Row rows[] = {
        {Hex("11 03 00 6B 00 03"), 0x7E}, // ":1103006B00037E"
        {Hex("01 03 00 00 00 01"), 0xFB}, // ":010300000001FB"
        {Hex("01 03 02 12 34"), 0xB4},    // ":0103021234B4"
        {Hex("80 80"), 0x00},             // the sum wraps to 0
        {{}, 0x00},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ComputeLrc(row.bytes), row.lrc) << ::testing::PrintToString(row.bytes);
}

TEST(HexText, DecodesPairsAsTheReceiverDoes) {
    struct Row {
        char high;
        char low;
        uint8_t byte;
    };
    const Row rows[] = {
        {'0', '0', 0x00}, {'F', 'B', 0xFB}, {'9', 'A', 0x9A},
        {'A', '9', 0xA9}, {'0', 'a', 0x2A}, // a lower-case letter counts 42, not 10
        {'a', '0', 0xA0},                   // ... which the high nibble's ×16 happens to hide
    };
    for (const Row& row : rows)
        EXPECT_EQ(HexToByte(row.high, row.low), row.byte) << row.high << row.low;
}

} // namespace
} // namespace halvane
