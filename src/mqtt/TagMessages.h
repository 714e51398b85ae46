#pragma once

#include "TDataChannel.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
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

// A write asked for on "<prefix>/set/<number>", `number` as the topic holds it.
struct TagWrite {
    std::string number;
    size_t index = 0;
    double value = 0;
    bool operator==(const TagWrite&) const = default;
};

// The write that a message on "<prefix>/set/<number>" asks for, or the result that refuses
// it: there is no such tag, it is an input tag, the payload is not a number ("." as the
// decimal point) or the value does not fit the register. A refusal quotes at most the
// first 64 bytes of the topic's number and of the payload.
std::variant<TagWrite, std::string> ReadTagWrite(const TagTable& tags, std::string_view number,
                                                 std::string_view payload);

// Makes the writes as the tag list's "Set value" makes a preset, all saved with one file
// write. The result to publish for each, in order: "accepted: <value>", followed by
// ", written as <raw>" when the register receives another number, or "refused: <reason>"
// when the table no longer takes it.
std::vector<std::string> MakeTagWrites(TagTable& tags, ProfileStore& store,
                                       const std::vector<TagWrite>& writes);

// The result of a write that a newer write to the same tag replaced before it was made.
std::string ReplacedWriteResult(const TagWrite& write);

// The index of the tag that a message on "<prefix>/ack/<number>" asks to acknowledge, or
// the result that refuses it: there is no such tag. Quotes at most 64 bytes of `number`.
std::variant<size_t, std::string> ReadTagAcknowledgement(const TagTable& tags,
                                                         std::string_view number);
// "ok: <count> acknowledged".
std::string AcknowledgedResult(size_t count);
// The result of an acknowledgement asked for while the station takes no writes, and of a
// retained one (it would be made again at every connect).
std::string AcknowledgementNotAllowedResult();
std::string RetainedAcknowledgementResult();

} // namespace halvane
