#pragma once

#include <cstdint>
#include <span>

namespace halvane {

// Modbus RTU CRC-16: preset 0xFFFF, reflected polynomial 0xA001, no final inversion.
// On the wire its low byte goes first.
uint16_t ComputeCrc16(std::span<const uint8_t> bytes);

// Modbus ASCII LRC: the two's complement of the byte sum modulo 256, so that the bytes
// and their LRC add up to 0.
uint8_t ComputeLrc(std::span<const uint8_t> bytes);

} // namespace halvane
