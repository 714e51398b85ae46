#include "PresetInput.h"

#include "ConversionMessages.h"
#include "NumberFormat.h"
#include "ValueText.h"
#include "WriteValue.h"

namespace halvane {

PresetPrompt DescribePreset(const TDataChannel& tag) {
    std::string current = WithUnit(ValueText(tag), tag);
    if (!tag.ValueValid)
        current += " (" + tag.Status + ")";
    const auto [low, high] = PresetRealRange(tag);
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
