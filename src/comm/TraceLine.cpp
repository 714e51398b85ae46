#include "TraceLine.h"

#include "HexText.h"

namespace halvane {

std::string TraceLine(int connection, TraceDirection direction, std::span<const uint8_t> bytes) {
    std::string line = std::to_string(connection);
    line += direction == TraceDirection::Tx ? " TX: " : " RX: ";
    line.reserve(line.size() + 4 * bytes.size() + 3);
    for (const uint8_t byte : bytes) {
        line += HexDigit(byte >> 4);
        line += HexDigit(byte & 0x0F);
        line += ' ';
    }
    line += "\t (";
    for (const uint8_t byte : bytes)
        line += byte < 32 ? '.' : static_cast<char>(byte);
    line += ')';
    return line;
}

} // namespace halvane
