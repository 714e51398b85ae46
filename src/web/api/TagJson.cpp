#include "TagJson.h"

#include "AlarmService.h"
#include "JournalFormat.h"
#include "JsonText.h"
#include "StoredText.h"
#include "ValueText.h"
#include "WriteValue.h"

#include <algorithm>

namespace halvane {

LimitAlarms::LimitAlarms(const std::vector<AlarmInfo>& alarms) {
    for (const AlarmInfo& alarm : alarms) {
        const bool limit = alarm.kind == AlarmKind::High || alarm.kind == AlarmKind::Low;
        const bool active = alarm.state == AlarmListState::Unacknowledged ||
                            alarm.state == AlarmListState::Acknowledged;
        if (limit && active)
            m_active.emplace_back(alarm.tagIndex, alarm.kind);
    }
    std::ranges::sort(m_active);
}

LimitAlarms LimitAlarms::Now(const AlarmService* alarms) {
    return alarms ? LimitAlarms(alarms->Alarms(false)) : LimitAlarms();
}

std::optional<AlarmKind> LimitAlarms::Of(size_t tagIndex) const {
    const auto found =
        std::ranges::lower_bound(m_active, tagIndex, {}, &std::pair<size_t, AlarmKind>::first);
    if (found == m_active.end() || found->first != tagIndex)
        return std::nullopt;
    return found->second;
}

namespace {

void AppendNumberOrNull(std::string& out, std::optional<double> value) {
    if (value)
        AppendJsonNumber(out, *value);
    else
        out += "null";
}

} // namespace

TagFacts TagFactsOf(const TDataChannel& tag, size_t index,
                    std::optional<TagTable::ChangeTime> changedAt) {
    TagFacts facts{index,
                   tag.Name,
                   tag.Unit,
                   tag.Format,
                   std::string(ShownStatus(tag.ValueValid, tag.Status)),
                   tag.RealValue,
                   tag.ValueValid,
                   std::nullopt,
                   changedAt};
    if (tag.IsOutputTag())
        facts.range = PresetRealRange(tag);
    return facts;
}

void AppendTagJson(std::string& out, const TagFacts& tag, std::optional<AlarmKind> alarm) {
    const size_t start = out.size();
    out += '{';
    const auto key = [&](std::string_view name) {
        if (out.size() > start + 1)
            out += ',';
        AppendJsonString(out, name);
        out += ':';
    };
    key("number");
    out += std::to_string(tag.index + 1);
    key("name");
    AppendJsonString(out, StoredTextToUtf8(tag.name));
    key("value");
    AppendNumberOrNull(out, tag.valid ? std::optional(tag.value) : std::nullopt);
    key("text");
    const std::string unit = StoredTextToUtf8(tag.unit);
    const std::string text = FormatValue(tag.format, tag.value);
    AppendJsonString(out, unit.empty() ? text : text + " " + unit);
    key("unit");
    AppendJsonString(out, unit);
    key("valid");
    out += tag.valid ? "true" : "false";
    key("status");
    AppendJsonString(out, StoredTextToUtf8(tag.status));
    key("alarm");
    if (alarm)
        AppendJsonString(out, *alarm == AlarmKind::High ? "high" : "low");
    else
        out += "null";
    key("writable");
    out += tag.range ? "true" : "false";
    key("min");
    AppendNumberOrNull(out, tag.range ? std::optional(tag.range->first) : std::nullopt);
    key("max");
    AppendNumberOrNull(out, tag.range ? std::optional(tag.range->second) : std::nullopt);
    key("ts");
    if (tag.changedAt)
        AppendJsonString(out, JournalTimeText(*tag.changedAt));
    else
        out += "null";
    out += '}';
}

namespace {

std::string ListJson(const std::vector<TagFacts>& tags, const LimitAlarms& alarms) {
    std::string out = "[";
    for (const TagFacts& tag : tags) {
        if (out.size() > 1)
            out += ',';
        AppendTagJson(out, tag, alarms.Of(tag.index));
    }
    out += ']';
    return out;
}

TagTable::TimedRead CopyTo(std::vector<TagFacts>& facts) {
    return [&facts](const TDataChannel& tag, size_t index,
                    std::optional<TagTable::ChangeTime> changedAt) {
        facts.push_back(TagFactsOf(tag, index, changedAt));
    };
}

} // namespace

void AppendTagJson(std::string& out, const TDataChannel& tag, size_t index,
                   std::optional<TagTable::ChangeTime> changedAt, std::optional<AlarmKind> alarm) {
    AppendTagJson(out, TagFactsOf(tag, index, changedAt), alarm);
}

std::string TagListJson(const TagTable& tags, const LimitAlarms& alarms) {
    std::vector<TagFacts> facts;
    facts.reserve(tags.Size());
    tags.ReadAllTimed(CopyTo(facts));
    return ListJson(facts, alarms);
}

std::string TagsJson(const TagTable& tags, std::span<const size_t> indices,
                     const LimitAlarms& alarms) {
    std::vector<TagFacts> facts;
    facts.reserve(indices.size());
    tags.ReadSomeTimed(indices, CopyTo(facts));
    return ListJson(facts, alarms);
}

} // namespace halvane
