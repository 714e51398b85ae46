#pragma once

#include "TDataChannel.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;
class TagTable;

// What a subscriber sees of a tag: a new message goes out when any of it changes.
struct TagState {
    std::string text; // the display text, UTF-8
    bool valid = false;
    std::string status; // UTF-8
    int alarm = 0;      // kAlarmNone, kAlarmHigh or kAlarmLow

    bool operator==(const TagState&) const = default;
};
TagState StateOf(const TDataChannel& tag);

// "2026-12-10T16:20:00.123Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point time);

// The retained message of one tag:
// {"name","value" (null while not valid),"text","unit","valid","status","alarm","ts"}.
std::string TagPayload(const TDataChannel& tag, const TagState& state, std::string_view time);

// What the description of the tag table holds of one tag.
struct TagDescription {
    std::string name; // stored bytes
    std::string unit;
    int function = 0;
    bool operator==(const TagDescription&) const = default;
};
TagDescription DescriptionOf(const TDataChannel& tag);

// A JSON array with one object per tag: {"number","name","unit","function","output"}.
std::string TagListPayload(const std::vector<TagDescription>& tags);

// The tag number at the end of a topic "<prefix>/set/<number>": a whole decimal number
// of at least 1 without sign or blanks.
std::optional<int> TagNumberText(std::string_view text);

// Runs a write that arrived on "<prefix>/set/<number>": the tag list's preset of the
// number in `payload` (a "." as decimal point) on that output tag. The text to publish on
// the result topic: "accepted: <value>" or "refused: <reason>".
std::string PresetFromMessage(TagTable& tags, ProfileStore& store, std::string_view number,
                              std::string_view payload);

} // namespace halvane
