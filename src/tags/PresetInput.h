#pragma once

#include "TDataChannel.h"

#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// What the "Set value" dialog tells of an output tag before the operator types: the value
// it holds now with its unit ("12.50 bar", followed by the status while the value is not
// valid) and the values it accepts: those its register can take through the conversion,
// within the tag's write limits ("0 to 6553.5 bar").
struct PresetPrompt {
    std::string current;
    std::string range;
    bool operator==(const PresetPrompt&) const = default;
};
PresetPrompt DescribePreset(const TDataChannel& tag);

// The typed text taken as a preset of the tag: its value, or the message that refuses it
// (not a number in the user's format, outside the write limits, or beyond what the
// register holds).
struct PresetEntry {
    std::optional<double> value;
    std::string message;
    bool operator==(const PresetEntry&) const = default;
};
PresetEntry ReadPresetText(const TDataChannel& tag, std::string_view text);

} // namespace halvane
