#include "WriteValue.h"

#include "TagTable.h"
#include "TagVocabulary.h"
#include "ValueConversion.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace halvane {

namespace {

constexpr uint16_t kCoilOn = 0xFF00;
constexpr uint16_t kCoilOff = 0x0000;

// The low 32 bits (two's complement) of `value` truncated toward zero. A finite value
// beyond any integer range loses its upper bits like any other wide value (1e300 gives
// 0); infinities and not-a-number have no whole number and give 0.
uint32_t LowBitsOfWhole(double value) {
    if (!std::isfinite(value))
        return 0;
    constexpr double kTwo32 = 4294967296.0;
    double low = std::fmod(std::trunc(value), kTwo32); // exact
    if (low < 0)
        low += kTwo32; // exact: a whole number below 2^33
    return static_cast<uint32_t>(low);
}

// The x of `v` on the scaling function, searched as if the points rose in y: the last
// point's x from its y on, the first point's x where no segment holds `v`.
uint32_t InvertPoints(const TDataChannel& tag, double v) {
    const auto n = static_cast<size_t>(std::clamp(tag.PointCount, 0, kMaxPoints));
    const double offset = tag.Offset;
    if (n < 2)
        return LowBitsOfWhole(v - offset);
    const auto xs = std::span(tag.PointX).first(n);
    const auto ys = std::span(tag.PointY).first(n);
    if (v >= ys[n - 1] + offset)
        return static_cast<uint32_t>(xs[n - 1]);
    const auto segment =
        std::adjacent_find(ys.begin(), ys.end(), [v, offset](double lo, double hi) {
            return lo + offset <= v && v < hi + offset;
        });
    if (segment == ys.end())
        return static_cast<uint32_t>(xs[0]);
    const auto i = static_cast<size_t>(segment - ys.begin());
    // The rise is taken as a whole number, so a segment rising by less than 1 maps
    // every value in it to its first point.
    const double rise = std::trunc(ys[i + 1] - ys[i]);
    if (rise == 0)
        return static_cast<uint32_t>(xs[i]);
    const double run = static_cast<double>(xs[i + 1]) - xs[i];
    return LowBitsOfWhole((v - offset - ys[i]) * (run / rise) + xs[i]);
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

} // namespace

bool PresetValue(TagTable& tags, ProfileStore& store, size_t index, double value) {
    const bool present = tags.Update(index, [value](TDataChannel& tag) {
        tag.RealValue = value;
        tag.DefaultValue = value;
        tag.SetTagError("Pending write");
    });
    return present && tags.Snapshot(index).SaveToConfig(store, static_cast<int>(index));
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

uint32_t ComputeRawForWrite(const TDataChannel& tag) {
    const double v = tag.RealValue;
    switch (tag.Linear) {
    case 0:
        return LowBitsOfWhole(v);
    case 1:
        // A flat line has no raw value for any real value: write 0, so the request
        // still carries a defined value.
        if (tag.ACoff == 0)
            return 0;
        return LowBitsOfWhole((v - tag.BCoff - tag.Offset) / tag.ACoff);
    default:
        return InvertPoints(tag, v);
    }
}

uint16_t WriteRequestValue(const TDataChannel& tag) {
    const auto data = static_cast<uint16_t>(tag.RawInteger & 0xFFFF);
    // Devices accept only these two values for a single coil.
    if (tag.Function == kFunctionWriteCoil)
        return data != 0 ? kCoilOn : kCoilOff;
    return data;
}

} // namespace halvane
