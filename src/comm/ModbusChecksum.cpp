#include "ModbusChecksum.h"

#include <numeric>

namespace halvane {

uint16_t ComputeCrc16(std::span<const uint8_t> bytes) {
    uint16_t crc = 0xFFFF;
    for (const uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

uint8_t ComputeLrc(std::span<const uint8_t> bytes) {
    const auto sum = std::accumulate(bytes.begin(), bytes.end(), uint8_t{0},
                                     [](uint8_t a, uint8_t b) { return uint8_t(a + b); });
    return static_cast<uint8_t>(-sum);
}

} // namespace halvane
