#include "PresetInput.h"

#include "ConversionMessages.h"
#include "NumberFormat.h"
#include "StoredText.h"
#include "ValueText.h"
#include "WriteValue.h"

namespace halvane {

namespace {

std::string WithUnit(std::string text, const TDataChannel& tag) {
    const std::string unit = StoredTextToUtf8(tag.Unit);
    return unit.empty() ? text : text + " " + unit;
}

} // namespace

PresetPrompt DescribePreset(const TDataChannel& tag) {
    std::string current = WithUnit(ValueText(tag), tag);
    if (!tag.ValueValid)
        current += " (" + tag.Status + ")";
    const auto [low, high] = WritableRealRange(tag);
    return {current, WithUnit(FormatGeneral(low) + " to " + FormatGeneral(high), tag)};
}

PresetEntry ReadPresetText(const TDataChannel& tag, std::string_view text) {
    const std::optional<double> value = ParseFloat(text);
    if (!value)
        return {std::nullopt, NotAFloatMessage(text)};
    if (const auto refused = PresetRangeError(tag, *value))
        return {std::nullopt, *refused};
    return {value, {}};
}

} // namespace halvane
