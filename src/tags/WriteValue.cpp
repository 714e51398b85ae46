#include "WriteValue.h"

#include "NumberFormat.h"
#include "StoredText.h"
#include "TagTable.h"
#include "TagVocabulary.h"
#include "ValueConversion.h"
#include "ValueText.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace halvane {

namespace {

constexpr uint16_t kCoilOn = 0xFF00;
constexpr uint16_t kCoilOff = 0x0000;

// The low 32 bits (two's complement) of the whole number `value`. A finite value beyond
// any integer range loses its upper bits like any other wide value (1e300 gives 0);
// infinities and not-a-number have no whole number and give 0.
uint32_t LowBits(double value) {
    if (!std::isfinite(value))
        return 0;
    constexpr double kTwo32 = 4294967296.0;
    double low = std::fmod(value, kTwo32); // exact
    if (low < 0)
        low += kTwo32; // exact: a whole number below 2^33
    return static_cast<uint32_t>(low);
}

// Whole numbers are what single-register writes carry; a multiple write of a float
// carries the value itself.
enum class RawKind { Whole, Exact };

double Cut(double value, RawKind kind) {
    return kind == RawKind::Whole ? std::trunc(value) : value;
}

// The x of `v` on the scaling function, searched as if the points rose in y: the last
// point's x from its y on, the first point's x where no segment holds `v`.
double InvertPoints(const TDataChannel& tag, double v, RawKind kind) {
    const auto n = static_cast<size_t>(std::clamp(tag.PointCount, 0, kMaxPoints));
    const double offset = tag.Offset;
    if (n < 2)
        return Cut(v - offset, kind);
    const auto xs = std::span(tag.PointX).first(n);
    const auto ys = std::span(tag.PointY).first(n);
    if (v >= ys[n - 1] + offset)
        return xs[n - 1];
    const auto segment =
        std::adjacent_find(ys.begin(), ys.end(), [v, offset](double lo, double hi) {
            return lo + offset <= v && v < hi + offset;
        });
    if (segment == ys.end())
        return xs[0];
    const auto i = static_cast<size_t>(segment - ys.begin());
    // For whole numbers the rise is taken as a whole number too, so a segment rising by
    // less than 1 maps every value in it to its first point.
    const double rise = Cut(ys[i + 1] - ys[i], kind);
    if (rise == 0)
        return xs[i];
    const double run = static_cast<double>(xs[i + 1]) - xs[i];
    return Cut((v - offset - ys[i]) * (run / rise) + xs[i], kind);
}

// The inverse of the conversion mode, before it is cut to the register.
double RawForWrite(const TDataChannel& tag, RawKind kind) {
    const double v = tag.RealValue;
    switch (tag.Linear) {
    case 0:
        return Cut(v, kind);
    case 1:
        // A flat line has no raw value for any real value: write 0, so the request
        // still carries a defined value.
        if (tag.ACoff == 0)
            return 0;
        return Cut((v - tag.BCoff - tag.Offset) / tag.ACoff, kind);
    default:
        return InvertPoints(tag, v, kind);
    }
}

// A float tag's registers written at once hold the value in floating-point form; every
// other tag's hold a whole number.
bool WritesFloatRegisters(const TDataChannel& tag) {
    return tag.Function == kFunctionWriteRegisters && tag.ByteLength > 2 &&
           IsFloatDataType(tag.DataType);
}

bool WritesDoubleWord(const TDataChannel& tag) {
    return tag.Function == kFunctionWriteRegisters && tag.DataType == kDataTypeDoubleWord;
}

// The largest magnitude the tag's float registers hold.
double FloatLimit(const TDataChannel& tag) {
    return tag.DataType == kDataTypeFloatSingle ? std::numeric_limits<float>::max()
                                                : std::numeric_limits<double>::max();
}

// The register value for the data type: a byte keeps its low 8 bits; a masked bit is
// set alone by any non-zero value.
uint32_t MaskForDataType(int dataType, uint32_t word) {
    if (dataType == kDataTypeByte)
        return word & 0xFF;
    if (IsMaskedBitDataType(dataType))
        return word == 0 ? 0 : 1U << (dataType - kDataTypeMaskedBit0);
    return word;
}

// The integer the tag writes: sign-extended for a signed word or byte, otherwise the
// register value as it is (float tags write a whole number).
int32_t WriteInteger(const TDataChannel& tag, uint32_t word) {
    if (tag.Signed && tag.DataType == kDataTypeWord)
        return static_cast<int16_t>(word & 0xFFFF);
    if (tag.Signed && tag.DataType == kDataTypeByte)
        return static_cast<int8_t>(word & 0xFF);
    return static_cast<int32_t>(word);
}

// "0 to 100 %", "at least 0 %" or "at most 100 %".
std::string LimitsText(const TDataChannel& tag) {
    if (tag.WriteMin && tag.WriteMax)
        return WithUnit(FormatGeneral(*tag.WriteMin) + " to " + FormatGeneral(*tag.WriteMax), tag);
    if (tag.WriteMin)
        return WithUnit("at least " + FormatGeneral(*tag.WriteMin), tag);
    return WithUnit("at most " + FormatGeneral(*tag.WriteMax), tag);
}

bool WithinWriteLimits(const TDataChannel& tag, double value) {
    return (!tag.WriteMin || value >= *tag.WriteMin) && (!tag.WriteMax || value <= *tag.WriteMax);
}

} // namespace

RawRange WritableRawRange(const TDataChannel& tag) {
    if (WritesDoubleWord(tag))
        return tag.Signed ? RawRange{INT32_MIN, INT32_MAX} : RawRange{0, UINT32_MAX};
    if (IsMaskedBitDataType(tag.DataType) || IsFloatDataType(tag.DataType))
        return {0, 0xFFFF};
    if (tag.DataType == kDataTypeByte)
        return tag.Signed ? RawRange{-0x80, 0x7F} : RawRange{0, 0xFF};
    return tag.Signed ? RawRange{-0x8000, 0x7FFF} : RawRange{0, 0xFFFF};
}

double PresetRawValue(const TDataChannel& tag, double value) {
    TDataChannel preset = tag;
    preset.RealValue = value;
    return RawForWrite(preset, WritesFloatRegisters(tag) ? RawKind::Exact : RawKind::Whole);
}

std::optional<std::string> PresetRangeError(const TDataChannel& tag, double value) {
    if (!std::isfinite(value))
        return "The value is not a finite number.";
    if (!WithinWriteLimits(tag, value))
        return "The value " + FormatGeneral(value) + " is outside the limits of " +
               StoredTextToUtf8(tag.Name) + ": " + LimitsText(tag) + ".";
    const double raw = PresetRawValue(tag, value);
    const auto [low, high] = WritableRawBounds(tag);
    if (raw >= low && raw <= high)
        return std::nullopt;
    std::string message = "The value " + FormatGeneral(value) + " does not fit the register";
    if (raw != value)
        message += " (it is written as " + FormatGeneral(raw) + ")";
    return message + ". The register takes " + FormatGeneral(low) + " to " + FormatGeneral(high) +
           ".";
}

std::pair<double, double> WritableRawBounds(const TDataChannel& tag) {
    if (WritesFloatRegisters(tag))
        return {-FloatLimit(tag), FloatLimit(tag)};
    const RawRange range = WritableRawRange(tag);
    return {static_cast<double>(range.low), static_cast<double>(range.high)};
}

std::pair<double, double> WritableRealRange(const TDataChannel& tag) {
    const auto real = [&tag](double raw) {
        TDataChannel reading = tag;
        reading.RawValue = raw;
        ComputeRealValue(reading);
        return reading.RealValue;
    };
    const auto [low, high] = WritableRawBounds(tag);
    return std::minmax(real(low), real(high));
}

std::pair<double, double> PresetRealRange(const TDataChannel& tag) {
    auto [low, high] = WritableRealRange(tag);
    if (tag.WriteMin)
        low = std::max(low, *tag.WriteMin);
    if (tag.WriteMax)
        high = std::min(high, *tag.WriteMax);
    return {low, high};
}

PresetOutcome PresetValue(TagTable& tags, ProfileStore& store, size_t index, double value,
                          const WriteOrigin& origin) {
    bool fits = true;
    const bool present = tags.Update(index, [value, &fits](TDataChannel& tag) {
        fits = !PresetRangeError(tag, value);
        if (!fits)
            return;
        tag.RealValue = value;
        tag.DefaultValue = value;
        tag.WritePending = true;
        tag.SetTagError(std::string(kStatusPendingWrite));
    });
    if (present && !fits)
        return PresetOutcome::OutOfRange;
    if (present)
        tags.NotifyPresetStored(index, value, origin);
    const bool saved = present && tags.Snapshot(index).SaveToConfig(store, static_cast<int>(index));
    return saved ? PresetOutcome::Stored : PresetOutcome::NotSaved;
}

void PrepareWrite(TDataChannel& tag) {
    tag.ValueValid = true;
    const uint32_t word = MaskForDataType(tag.DataType, ComputeRawForWrite(tag) & 0xFFFF);
    const int32_t value = WriteInteger(tag, word);
    tag.RawValue = value;
    ValueBuffer image = ValueBufferFromInteger(static_cast<uint32_t>(value));
    ApplyByteOrder(tag, image);
    tag.RawInteger = ValueBufferToInteger(image);
}

RegisterBytes PrepareRegistersWrite(TDataChannel& tag) {
    const int length = std::clamp(tag.ByteLength, 0, static_cast<int>(ValueBuffer().size()));
    RegisterBytes registers;
    if (length <= 2) {
        PrepareWrite(tag);
        const uint16_t word = WriteRequestValue(tag);
        registers.bytes = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
        registers.length = 2;
        return registers;
    }
    tag.ValueValid = true;
    ValueBuffer image{};
    if (IsFloatDataType(tag.DataType)) {
        const double raw = RawForWrite(tag, RawKind::Exact);
        if (tag.DataType == kDataTypeFloatSingle) {
            const auto single = static_cast<float>(raw);
            tag.RawValue = single;
            image = ValueBufferFromInteger(std::bit_cast<uint32_t>(single));
        } else {
            tag.RawValue = raw;
            const auto bits = std::bit_cast<uint64_t>(raw);
            for (size_t i = 0; i < image.size(); ++i)
                image[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
    } else {
        const uint32_t raw = ComputeRawForWrite(tag);
        tag.RawValue = tag.Signed ? static_cast<double>(static_cast<int32_t>(raw)) : raw;
        image = ValueBufferFromInteger(raw);
    }
    // Every byte-order option exchanges bytes in pairs, so the steps that decode a reading
    // also encode it.
    ApplyByteOrder(tag, image);
    tag.RawInteger = ValueBufferToInteger(image);
    // The image is least significant first; the registers go most significant first.
    registers.length = static_cast<size_t>(length);
    std::reverse_copy(image.begin(), image.begin() + length, registers.bytes.begin());
    return registers;
}

uint32_t ComputeRawForWrite(const TDataChannel& tag) {
    return LowBits(RawForWrite(tag, RawKind::Whole));
}

uint16_t WriteRequestValue(const TDataChannel& tag) {
    const auto data = static_cast<uint16_t>(tag.RawInteger & 0xFFFF);
    // Devices accept only these two values for a single coil.
    if (tag.Function == kFunctionWriteCoil)
        return data != 0 ? kCoilOn : kCoilOff;
    return data;
}

} // namespace halvane
