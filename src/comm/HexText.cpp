#include "HexText.h"

namespace halvane {

namespace {

int NibbleValue(uint8_t character) {
    return character <= '9' ? character - 0x30 : character - 55;
}

} // namespace

uint8_t HexToByte(uint8_t high, uint8_t low) {
    return static_cast<uint8_t>(NibbleValue(high) * 16 + NibbleValue(low));
}

char HexDigit(uint8_t nibble) {
    return "0123456789ABCDEF"[nibble & 0x0F];
}

} // namespace halvane
