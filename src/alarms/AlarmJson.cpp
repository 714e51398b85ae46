#include "AlarmJson.h"

#include "JsonText.h"

#include <optional>
#include <string_view>

namespace halvane {

namespace {

std::string_view KindName(AlarmKind kind) {
    switch (kind) {
    case AlarmKind::High:
        return "high";
    case AlarmKind::Low:
        return "low";
    case AlarmKind::Communication:
        return "communication";
    case AlarmKind::TooMany:
        break;
    }
    return "too-many";
}

std::string_view StateName(AlarmListState state) {
    switch (state) {
    case AlarmListState::Unacknowledged:
        return "unacknowledged";
    case AlarmListState::Acknowledged:
        return "acknowledged";
    case AlarmListState::Returned:
        return "returned";
    case AlarmListState::Shelved:
        break;
    }
    return "shelved";
}

template <typename T> void AppendOptionalNumber(std::string& out, const std::optional<T>& value) {
    if (value)
        AppendJsonNumber(out, static_cast<double>(*value));
    else
        out += "null";
}

void AppendOptionalTime(std::string& out, const std::optional<AlarmTime>& time) {
    if (time)
        AppendJsonString(out, JournalTimeText(*time));
    else
        out += "null";
}

std::string AlarmObject(const AlarmInfo& alarm, const std::function<std::string(size_t)>& tagName) {
    const bool tooMany = alarm.kind == AlarmKind::TooMany;
    const bool hasReading = !tooMany && alarm.kind != AlarmKind::Communication;
    std::string out = "{";
    AppendJsonKey(out, "tag");
    AppendOptionalNumber(out, tooMany ? std::nullopt : std::optional(alarm.tagIndex + 1));
    AppendJsonKey(out, "name");
    AppendJsonString(out, tooMany ? std::string() : tagName(alarm.tagIndex));
    AppendJsonKey(out, "kind");
    AppendJsonString(out, KindName(alarm.kind));
    AppendJsonKey(out, "state");
    AppendJsonString(out, StateName(alarm.state));
    AppendJsonKey(out, "priority");
    AppendJsonNumber(out, alarm.priority);
    AppendJsonKey(out, "value");
    AppendOptionalNumber(out, hasReading ? std::optional(alarm.value) : std::nullopt);
    AppendJsonKey(out, "limit");
    AppendOptionalNumber(out, tooMany ? std::nullopt : std::optional(alarm.limit));
    AppendJsonKey(out, "text");
    AppendJsonString(out, alarm.text);
    AppendJsonKey(out, "since");
    AppendJsonString(out, JournalTimeText(alarm.since));
    AppendJsonKey(out, "acknowledged_by");
    AppendJsonString(out, alarm.acknowledgedBy);
    AppendJsonKey(out, "acknowledged_at");
    AppendOptionalTime(out, alarm.acknowledgedAt);
    if (alarm.state == AlarmListState::Shelved) {
        AppendJsonKey(out, "shelved_until");
        AppendOptionalTime(out, alarm.shelvedUntil);
    }
    return out + '}';
}

} // namespace

std::string AlarmListJson(const std::vector<AlarmInfo>& alarms,
                          const std::function<std::string(size_t)>& tagName) {
    std::string out = "[";
    for (const AlarmInfo& alarm : alarms) {
        if (out.size() > 1)
            out += ',';
        out += AlarmObject(alarm, tagName);
    }
    return out + ']';
}

std::string JournalEventJson(const JournalEvent& event) {
    std::string out = "{";
    AppendJsonKey(out, "time");
    AppendJsonString(out, JournalTimeText(event.time));
    AppendJsonKey(out, "event");
    AppendJsonString(out, event.event);
    AppendJsonKey(out, "tag");
    AppendOptionalNumber(out, event.tag);
    AppendJsonKey(out, "name");
    AppendJsonString(out, event.name);
    AppendJsonKey(out, "priority");
    AppendOptionalNumber(out, event.priority);
    AppendJsonKey(out, "value");
    AppendOptionalNumber(out, event.value);
    AppendJsonKey(out, "limit");
    AppendOptionalNumber(out, event.limit);
    AppendJsonKey(out, "user");
    AppendJsonString(out, event.user);
    AppendJsonKey(out, "source");
    AppendJsonString(out, event.source);
    AppendJsonKey(out, "text");
    AppendJsonString(out, event.text);
    return out + '}';
}

} // namespace halvane
