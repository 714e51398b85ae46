#pragma once

#include "ModbusFrame.h"
#include "ValueConversion.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace halvane {

// The data bytes of a read reply that passed its checks, as many as the request asked
// for: 2 bytes per register, big-endian, or one byte per 8 bits, the first bit asked for
// in bit 0 of the first byte.
struct ReplyData {
    std::array<uint8_t, kMaxReadDataLength> bytes; // only the first `length` are filled
    size_t length = 0;

    std::span<const uint8_t> View() const { return {bytes.data(), length}; }
    bool operator==(const ReplyData& other) const {
        return std::ranges::equal(View(), other.View());
    }
};

// The value buffer of the item `offset` registers or bits after the first one read.
// A bit read gives that bit in byte 0. A register read gives the `count` registers from
// there (at most the buffer's 8 bytes) in reverse byte order, so that the buffer reads as
// a little-endian integer equal to the data read big-endian. Bytes beyond the data are 0.
ValueBuffer SliceValues(ModbusFunction function, std::span<const uint8_t> data, size_t offset,
                        size_t count);

} // namespace halvane
