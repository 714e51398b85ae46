#pragma once

#include "TDataChannel.h"
#include "TagVocabulary.h"

#include <array>
#include <cstdint>

namespace halvane {

class ProfileStore;

// The data bytes of one reading as the transaction hands them over: byte 0 is the least
// significant byte of the value, bytes that the reply did not fill are 0.
using ValueBuffer = std::array<uint8_t, 8>;

// Ids 20..35: bits 0..15 of the register, each read as 0 or 1.
constexpr bool IsMaskedBitDataType(int id) {
    return id >= kDataTypeMaskedBit0 && id <= kDataTypeMaskedBit15;
}

// `value` in bytes 0..3, least significant first; bytes 4..7 zero.
ValueBuffer ValueBufferFromInteger(uint32_t value);
// Bytes 0..3, least significant first.
uint32_t ValueBufferToInteger(const ValueBuffer& bytes);

// Applies the tag's byte-order options to the first `ByteLength` bytes, in this order:
// ReverseOrder; SwapBytes (0↔1, 2↔3, …) when at least 2 bytes; SwapWords (the 2-byte
// halves of every 4-byte group) when at least 4; SwapDWords (the 4-byte halves of the
// 8-byte group) when 8. Decoding a reading and encoding a write both go through here.
void ApplyByteOrder(const TDataChannel& tag, ValueBuffer& bytes);

// Decodes one reading into `RawValue`, marks the tag valid, scales it into `RealValue`
// and, for a filtered tag, applies the pulse filter, whose hold count is read from
// `config` when a high reading needs it (60 without a `config`). `Status` is left as
// it is: it is only shown while the value is not valid.
void StoreReading(TDataChannel& tag, const ValueBuffer& buffer, const ProfileStore* config);

// `RawValue` → `RealValue` by the conversion mode: as it is (0), the line
// ACoff·x + BCoff + Offset (1), or the points (any other mode) plus Offset. x is the raw
// value, truncated toward zero unless the data type is a float type.
void ComputeRealValue(TDataChannel& tag);

// "Channel.Filter" of section "General": the number of consecutive low readings after
// which a filtered tag falls back to 0; 60 when absent or without a `config`.
int PulseFilterSetting(const ProfileStore* config);

// Makes a filtered tag strictly binary: a reading of at least 0.5 sets the hold count
// from `config`, every lower reading counts it down, and the tag reads 1 while the
// count is at least 1.
void ApplyPulseFilter(TDataChannel& tag, const ProfileStore* config);

constexpr int kAlarmNone = 0;
constexpr int kAlarmHigh = 1;
constexpr int kAlarmLow = 2;

// kAlarmHigh above `HighThreshold`, else kAlarmLow below `LowThreshold`, else
// kAlarmNone; always kAlarmNone while alarms are off. Both comparisons are strict.
int AlarmState(const TDataChannel& tag);

} // namespace halvane
