#pragma once

#include "TDataChannel.h"
#include "TagTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvane {

class ProfileStore;

// The whole numbers a write of the tag can carry without losing bits: a register takes
// 16 bits (a byte 8), as a signed or unsigned number by the tag's signedness; a masked
// bit and a float tag are written as an unsigned 16-bit number; a double word written
// with Write Multiple Registers takes 32 bits.
struct RawRange {
    int64_t low = 0;
    int64_t high = 0;
    bool operator==(const RawRange&) const = default;
};
RawRange WritableRawRange(const TDataChannel& tag);

// The raw values a write of the tag can carry: WritableRawRange, or for a float tag
// written with Write Multiple Registers the finite range of its floating-point type.
std::pair<double, double> WritableRawBounds(const TDataChannel& tag);
// The real values whose raw value the write can carry: the bounds through the tag's
// conversion, lowest first.
std::pair<double, double> WritableRealRange(const TDataChannel& tag);

// The raw value that a preset of `value` writes, before it is cut to the register: the
// inverse of the conversion mode, a whole number unless the tag's float registers are
// written in floating-point form.
double PresetRawValue(const TDataChannel& tag, double value);

// The real values an operator may preset: the register's range (WritableRealRange)
// narrowed by the tag's write limits.
std::pair<double, double> PresetRealRange(const TDataChannel& tag);

// Nothing when `value` can be preset on the tag; otherwise the message that refuses it:
// it is not a finite number, it is outside the tag's write limits, or after the inverse
// scaling it does not fit the register.
std::optional<std::string> PresetRangeError(const TDataChannel& tag, double value);

enum class PresetOutcome { Stored, OutOfRange, NotSaved };

// The one way users write: the tag at `index` takes `value` as its real and default
// value, becomes not valid with the status "Pending write", and is saved under its
// index so that a restart writes the value again. Does not check that it is an output
// tag. A value that does not fit the register changes nothing (`PresetRangeError` says
// why); NotSaved when `index` is outside the table or the file could not be written.
// The table's listeners are told of a stored preset, with its `origin`.
PresetOutcome PresetValue(TagTable& tags, ProfileStore& store, size_t index, double value,
                          const WriteOrigin& origin = {});

// Encodes the tag's `RealValue` for a write, before the request is built: the tag
// becomes valid, `RawInteger` receives the encoded value (byte order applied) and
// `RawValue` the integer before the byte order.
void PrepareWrite(TDataChannel& tag);

// The registers a Write Multiple Registers request carries, as they go on the wire (the
// first register's high byte first).
struct RegisterBytes {
    std::array<uint8_t, 8> bytes{};
    size_t length = 0;
};

// Encodes the tag's `RealValue` for Write Multiple Registers: a double word as its 32
// bits, a float tag in its floating-point form (the inverse of the conversion mode, not
// cut to a whole number), with the tag's byte order applied as a reading of the same
// registers would decode it. A tag of 1 or 2 bytes writes one register as PrepareWrite
// encodes it. The tag becomes valid, as with PrepareWrite.
RegisterBytes PrepareRegistersWrite(TDataChannel& tag);

// The inverse of the conversion mode: the whole number whose reading would give
// `RealValue`, as its low 32 bits (two's complement), which is all a write uses.
uint32_t ComputeRawForWrite(const TDataChannel& tag);

// The 16-bit value that the write request of a prepared output tag carries (its high
// byte goes first): the low 16 bits of `RawInteger`, except that a coil is switched
// with 0xFF00 (on) or 0x0000 (off).
uint16_t WriteRequestValue(const TDataChannel& tag);

} // namespace halvane
