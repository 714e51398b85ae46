#pragma once

#include <cstdint>

namespace halvane {

// One byte from two characters of Modbus ASCII text, high nibble first. A character up
// to '9' counts its code minus 0x30, any other its code minus 55: exact for 0-9 and
// A-F; lower-case letters and other characters give wrong (but defined) values, which
// the later checks of a reply then catch.
uint8_t HexToByte(uint8_t high, uint8_t low);

// The upper-case hexadecimal digit of a nibble (0..15).
char HexDigit(uint8_t nibble);

} // namespace halvane
