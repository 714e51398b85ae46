#include "ValueConversion.h"

#include "ProfileStore.h"
#include "TagVocabulary.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>

namespace halvane {

namespace {

constexpr int kDefaultPulseFilter = 60;

int ByteLength(const TDataChannel& tag) {
    return std::clamp(tag.ByteLength, 0, static_cast<int>(ValueBuffer().size()));
}

// The first `count` bytes, least significant first.
uint64_t ComposeLittleEndian(const ValueBuffer& bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[static_cast<size_t>(i)];
    return value;
}

// Exchanges the two halves of every complete `group`-byte group of `bytes`.
void SwapHalves(std::span<uint8_t> bytes, int group) {
    const auto size = static_cast<size_t>(group);
    for (size_t start = 0; start + size <= bytes.size(); start += size) {
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(start);
        const auto middle = first + group / 2;
        std::swap_ranges(first, middle, middle);
    }
}

double DecodeFloat(int dataType, const ValueBuffer& bytes) {
    if (dataType == kDataTypeFloatSingle)
        return std::bit_cast<float>(static_cast<uint32_t>(ComposeLittleEndian(bytes, 4)));
    if (dataType == kDataTypeFloatDouble)
        return std::bit_cast<double>(ComposeLittleEndian(bytes, 8));
    return 0; // a float id outside the table has no bytes
}

uint32_t SelectBits(int dataType, uint32_t b) {
    if (dataType == kDataTypeByte)
        return b & 0xFF;
    if (IsMaskedBitDataType(dataType))
        return (b >> (dataType - kDataTypeMaskedBit0)) & 1;
    return b;
}

double DecodeRaw(const TDataChannel& tag, const ValueBuffer& bytes) {
    if (IsFloatDataType(tag.DataType))
        return DecodeFloat(tag.DataType, bytes);
    const auto composed =
        static_cast<uint32_t>(ComposeLittleEndian(bytes, std::min(ByteLength(tag), 4)));
    const uint32_t b = SelectBits(tag.DataType, composed);
    if (!tag.Signed)
        return b;
    switch (tag.DataType) {
    case kDataTypeWord:
        return static_cast<int16_t>(b & 0xFFFF);
    case kDataTypeByte:
        return static_cast<int8_t>(b & 0xFF);
    case kDataTypeDoubleWord:
        return static_cast<int32_t>(b);
    default:
        return b;
    }
}

// The scaling function through the first PointCount points, held at the last point from
// its x on and at the first point where no segment holds x (below the first point, or
// points out of order).
double InterpolatePoints(const TDataChannel& tag, double x) {
    const auto n = static_cast<size_t>(std::clamp(tag.PointCount, 0, kMaxPoints));
    if (n < 2)
        return x;
    const auto xs = std::span(tag.PointX).first(n);
    const auto ys = std::span(tag.PointY).first(n);
    if (x >= xs[n - 1])
        return ys[n - 1];
    const auto segment = std::adjacent_find(
        xs.begin(), xs.end(), [x](int32_t lo, int32_t hi) { return lo <= x && x < hi; });
    if (segment == xs.end())
        return ys[0];
    const auto i = static_cast<size_t>(segment - xs.begin());
    // In double: the difference of two 32-bit points may not fit 32 bits.
    const double run = static_cast<double>(xs[i + 1]) - xs[i];
    return (x - xs[i]) * ((ys[i + 1] - ys[i]) / run) + ys[i];
}

} // namespace

ValueBuffer ValueBufferFromInteger(uint32_t value) {
    ValueBuffer bytes{};
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

uint32_t ValueBufferToInteger(const ValueBuffer& bytes) {
    return static_cast<uint32_t>(ComposeLittleEndian(bytes, 4));
}

void ApplyByteOrder(const TDataChannel& tag, ValueBuffer& bytes) {
    const int length = ByteLength(tag);
    const auto value = std::span(bytes).first(static_cast<size_t>(length));
    if (tag.ReverseOrder)
        std::reverse(value.begin(), value.end());
    if (tag.SwapBytes)
        SwapHalves(value, 2);
    if (tag.SwapWords)
        SwapHalves(value, 4);
    if (tag.SwapDWords)
        SwapHalves(value, 8);
}

void StoreReading(TDataChannel& tag, const ValueBuffer& buffer, const ProfileStore* config) {
    ValueBuffer bytes = buffer;
    ApplyByteOrder(tag, bytes);
    tag.RawValue = DecodeRaw(tag, bytes);
    tag.ValueValid = true;
    ComputeRealValue(tag);
    if (tag.Filter == 1)
        ApplyPulseFilter(tag, config);
}

void ComputeRealValue(TDataChannel& tag) {
    // A float reading keeps its fraction. The truncated whole number of the other types
    // stays a double: for every integer reading it is exact.
    const double x = IsFloatDataType(tag.DataType) ? tag.RawValue : std::trunc(tag.RawValue);
    switch (tag.Linear) {
    case 0:
        tag.RealValue = x;
        break;
    case 1:
        tag.RealValue = x * tag.ACoff + tag.BCoff + tag.Offset;
        break;
    default:
        tag.RealValue = InterpolatePoints(tag, x) + tag.Offset;
        break;
    }
}

int PulseFilterSetting(const ProfileStore* config) {
    return config ? config->ReadInteger("General", "Channel.Filter", kDefaultPulseFilter)
                  : kDefaultPulseFilter;
}

void ApplyPulseFilter(TDataChannel& tag, const ProfileStore* config) {
    if (tag.RealValue >= 0.5)
        tag.FilterCountdown = PulseFilterSetting(config);
    else if (tag.FilterCountdown > 0)
        --tag.FilterCountdown;
    tag.RealValue = tag.FilterCountdown >= 1 ? 1.0 : 0.0;
}

int AlarmState(const TDataChannel& tag) {
    if (!tag.EnableAlert)
        return kAlarmNone;
    if (tag.RealValue > tag.HighThreshold)
        return kAlarmHigh;
    if (tag.RealValue < tag.LowThreshold)
        return kAlarmLow;
    return kAlarmNone;
}

} // namespace halvane
