#include "TagJson.h"

#include "AlarmService.h"
#include "JournalFormat.h"
#include "JsonText.h"
#include "StoredText.h"
#include "ValueText.h"

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

void AppendTagJson(std::string& out, const TDataChannel& tag, size_t index,
                   std::optional<TagTable::ChangeTime> changedAt, std::optional<AlarmKind> alarm) {
    std::string object = "{";
    AppendJsonKey(object, "number");
    object += std::to_string(index + 1);
    AppendJsonKey(object, "name");
    AppendJsonString(object, StoredTextToUtf8(tag.Name));
    AppendJsonKey(object, "value");
    if (tag.ValueValid)
        AppendJsonNumber(object, tag.RealValue);
    else
        object += "null";
    AppendJsonKey(object, "text");
    AppendJsonString(object, WithUnit(ValueText(tag), tag));
    AppendJsonKey(object, "unit");
    AppendJsonString(object, StoredTextToUtf8(tag.Unit));
    AppendJsonKey(object, "valid");
    object += tag.ValueValid ? "true" : "false";
    AppendJsonKey(object, "status");
    AppendJsonString(object, StoredTextToUtf8(ShownStatus(tag.ValueValid, tag.Status)));
    AppendJsonKey(object, "alarm");
    if (alarm)
        AppendJsonString(object, *alarm == AlarmKind::High ? "high" : "low");
    else
        object += "null";
    AppendJsonKey(object, "writable");
    object += tag.IsOutputTag() ? "true" : "false";
    AppendJsonKey(object, "ts");
    if (changedAt)
        AppendJsonString(object, JournalTimeText(*changedAt));
    else
        object += "null";
    object += '}';
    out += object;
}

namespace {

TagTable::TimedRead AppendTo(std::string& out, const LimitAlarms& alarms) {
    return [&out, &alarms](const TDataChannel& tag, size_t index,
                           std::optional<TagTable::ChangeTime> changedAt) {
        if (out.size() > 1)
            out += ',';
        AppendTagJson(out, tag, index, changedAt, alarms.Of(index));
    };
}

} // namespace

std::string TagListJson(const TagTable& tags, const LimitAlarms& alarms) {
    std::string out = "[";
    tags.ReadAllTimed(AppendTo(out, alarms));
    out += ']';
    return out;
}

std::string TagsJson(const TagTable& tags, std::span<const size_t> indices,
                     const LimitAlarms& alarms) {
    std::string out = "[";
    tags.ReadSomeTimed(indices, AppendTo(out, alarms));
    out += ']';
    return out;
}

} // namespace halvane
