#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvane::test {

// "01 03 0A" → {0x01, 0x03, 0x0A}; blanks between bytes are optional.
inline std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (const char c : text) {
        if (c == ' ')
            continue;
        digits += c;
        if (digits.size() == 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(digits, nullptr, 16)));
            digits.clear();
        }
    }
    return bytes;
}

// The characters of a Modbus ASCII frame as bytes.
inline std::vector<uint8_t> Text(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace halvane::test
