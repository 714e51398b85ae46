#pragma once

#include "ModbusTransaction.h"
#include "ValueConversion.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace halvane {

class ProfileStore;
struct TDataChannel;

// One tag's read: its function and how many registers or bits it asks for.
struct TagRead {
    ModbusFunction function = ModbusFunction::ReadHoldingRegisters;
    int count = 1;
};

// The read that brings back what an output tag writes: its coil (Read Coils), or the
// registers its write covers (Read Holding Registers: one for Write Single Register, the
// tag's register count for Write Multiple Registers). None for a tag that writes nothing.
std::optional<TagRead> ReadBackOf(const TDataChannel& tag);

// Stores the value buffer of a read-back (a reading's slice of the reply) in the output
// tag through the inverse of what its write encodes: a single register holds a whole
// 16-bit number (a masked bit its own bit, with no byte order), a coil is 0 or the value
// whose write switches it on, and registers written at once hold the tag's data type in
// its byte order. Scaling and the pulse filter follow as for any reading.
void StoreReadBack(TDataChannel& tag, const ValueBuffer& values, const ProfileStore* config);

// Illegal function or illegal data address: the device will never answer this read.
constexpr bool IsReadBackRefusal(uint8_t exceptionCode) {
    return exceptionCode == 0x01 || exceptionCode == 0x02;
}

// The tag falls back to showing its last preset, not valid, marked kStatusReadBackRefused.
void MarkReadBackRefused(TDataChannel& tag);

enum class ReadBackResult { Read, Failed, Refused };

// One read-back of the output tag; its outcome is in the tag: the device's value, the
// refusal, or the status text of any other failure.
ReadBackResult DoReadBack(TDataChannel& tag, const TransactionContext& context);

} // namespace halvane
