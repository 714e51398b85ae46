#include "TagMessages.h"

#include "ConversionMessages.h"
#include "JsonText.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "TagTable.h"
#include "TagVocabulary.h"
#include "ValueConversion.h"
#include "ValueText.h"
#include "WriteValue.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace halvane {

namespace {

std::string_view AlarmName(int alarm) {
    switch (alarm) {
    case kAlarmHigh:
        return "high";
    case kAlarmLow:
        return "low";
    default:
        return {};
    }
}

// Messages come from anyone: an answer quotes only this much of them.
constexpr size_t kMaxQuoted = 64;

std::string Refused(const std::string& reason) {
    return "refused: " + reason;
}

// The first kMaxQuoted bytes at most, without a part of a UTF-8 sequence, and "..." when
// that is not all.
std::string Excerpt(std::string_view text) {
    if (text.size() <= kMaxQuoted)
        return std::string(text);
    size_t end = kMaxQuoted;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "...";
}

std::string NoSuchTag(std::string_view number) {
    return Refused("there is no tag " + Excerpt(number) + ".");
}

// The output tag that a write to tag `number` goes to, or the result that refuses it.
std::variant<TDataChannel, std::string> OutputTag(const TagTable& tags, std::string_view number) {
    const std::optional<int> tagNumber = TagNumberText(number);
    if (!tagNumber || static_cast<size_t>(*tagNumber) > tags.Size())
        return NoSuchTag(number);
    TDataChannel tag = tags.Snapshot(static_cast<size_t>(*tagNumber - 1));
    if (!tag.IsOutputTag())
        return Refused("tag " + Excerpt(number) + " is an input tag.");
    return tag;
}

std::string Accepted(const TDataChannel& tag, double value) {
    std::string result = "accepted: " + FormatGeneral(value, '.');
    if (const double raw = PresetRawValue(tag, value); raw != value)
        result += ", written as " + FormatGeneral(raw, '.');
    return result;
}

} // namespace

TagState StateOf(const TDataChannel& tag) {
    return {StoredTextToUtf8(ValueText(tag)), tag.ValueValid,
            StoredTextToUtf8(ShownStatus(tag.ValueValid, tag.Status)), AlarmState(tag)};
}

std::string IsoUtcTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    std::array<char, 64> text{}; // room for any year the fields can hold
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                  utc.tm_sec, static_cast<int>(ms % 1000));
    return text.data();
}

std::string TagPayload(const TDataChannel& tag, const TagState& state, std::string_view time) {
    std::string out = "{";
    AppendJsonKey(out, "name");
    AppendJsonString(out, StoredTextToUtf8(tag.Name));
    AppendJsonKey(out, "value");
    if (state.valid)
        AppendJsonNumber(out, tag.RealValue);
    else
        out += "null";
    AppendJsonKey(out, "text");
    AppendJsonString(out, state.text);
    AppendJsonKey(out, "unit");
    AppendJsonString(out, StoredTextToUtf8(tag.Unit));
    AppendJsonKey(out, "valid");
    out += state.valid ? "true" : "false";
    AppendJsonKey(out, "status");
    AppendJsonString(out, state.status);
    AppendJsonKey(out, "alarm");
    if (const std::string_view alarm = AlarmName(state.alarm); alarm.empty())
        out += "null";
    else
        AppendJsonString(out, alarm);
    AppendJsonKey(out, "ts");
    AppendJsonString(out, time);
    return out + '}';
}

TagDescription DescriptionOf(const TDataChannel& tag) {
    return {tag.Name, tag.Unit, tag.Function};
}

std::string TagListPayload(const std::vector<TagDescription>& tags) {
    std::string out = "[";
    for (size_t i = 0; i < tags.size(); ++i) {
        if (i > 0)
            out += ',';
        const TagDescription& tag = tags[i];
        std::string object = "{";
        AppendJsonKey(object, "number");
        object += std::to_string(i + 1);
        AppendJsonKey(object, "name");
        AppendJsonString(object, StoredTextToUtf8(tag.name));
        AppendJsonKey(object, "unit");
        AppendJsonString(object, StoredTextToUtf8(tag.unit));
        AppendJsonKey(object, "function");
        AppendJsonString(object, FunctionListText(tag.function));
        AppendJsonKey(object, "output");
        object += tag.function == kFunctionWriteCoil || tag.function == kFunctionWriteRegister
                      ? "true"
                      : "false";
        out += object + '}';
    }
    return out + ']';
}

std::optional<int> TagNumberText(std::string_view text) {
    int number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || text.front() == '-' || ec != std::errc() ||
        end != text.data() + text.size() || number < 1)
        return std::nullopt;
    return number;
}

std::variant<TagWrite, std::string> ReadTagWrite(const TagTable& tags, std::string_view number,
                                                 std::string_view payload) {
    auto tag = OutputTag(tags, number);
    if (const auto* refused = std::get_if<std::string>(&tag))
        return *refused;
    const std::optional<double> value = ParseFloat(payload, '.');
    if (!value)
        return Refused(NotAFloatMessage(Excerpt(payload)) + ".");
    if (auto error = PresetRangeError(std::get<TDataChannel>(tag), *value))
        return Refused(*error);
    return TagWrite{std::string(number), static_cast<size_t>(*TagNumberText(number) - 1), *value};
}

std::vector<std::string> MakeTagWrites(TagTable& tags, ProfileStore& store,
                                       const std::vector<TagWrite>& writes) {
    std::vector<std::string> results;
    std::vector<size_t> accepted;
    ProfileStore::Batch batch(store);
    for (const TagWrite& write : writes) {
        auto tag = OutputTag(tags, write.number);
        if (auto* refused = std::get_if<std::string>(&tag)) {
            results.push_back(std::move(*refused));
            continue;
        }
        const TDataChannel& before = std::get<TDataChannel>(tag);
        if (PresetValue(tags, store, write.index, write.value,
                        WriteOrigin(WriteSource::Mqtt, "mqtt")) == PresetOutcome::OutOfRange) {
            results.push_back(Refused(*PresetRangeError(before, write.value)));
            continue;
        }
        accepted.push_back(results.size());
        results.push_back(Accepted(before, write.value));
    }
    if (!batch.Commit())
        for (const size_t i : accepted)
            results[i] += " (not saved: " + store.LastError() + ")";
    return results;
}

std::string ReplacedWriteResult(const TagWrite& write) {
    return Refused("a newer write to tag " + Excerpt(write.number) + " came before it was made.");
}

std::variant<size_t, std::string> ReadTagAcknowledgement(const TagTable& tags,
                                                         std::string_view number) {
    const std::optional<int> tagNumber = TagNumberText(number);
    if (!tagNumber || static_cast<size_t>(*tagNumber) > tags.Size())
        return NoSuchTag(number);
    return static_cast<size_t>(*tagNumber - 1);
}

std::string AcknowledgedResult(size_t count) {
    return "ok: " + std::to_string(count) + " acknowledged";
}

std::string AcknowledgementNotAllowedResult() {
    return Refused("this station takes no writes or acknowledgements over MQTT.");
}

std::string RetainedAcknowledgementResult() {
    return Refused("a retained message is not taken as an acknowledgement.");
}

} // namespace halvane
