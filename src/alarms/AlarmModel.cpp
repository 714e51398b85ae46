#include "AlarmModel.h"

#include "StoredText.h"
#include "ValueConversion.h"
#include "ValueText.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace halvane {

namespace {

constexpr std::array kKinds{AlarmKind::High, AlarmKind::Low, AlarmKind::Communication};
constexpr std::string_view kTooManyText = "too many alarms";

size_t Slot(AlarmKind kind) {
    return static_cast<size_t>(kind);
}

bool DelayElapsed(AlarmTime since, AlarmTime now, double delaySeconds, bool strict) {
    const double held = std::chrono::duration<double>(now - since).count();
    return strict ? held > delaySeconds : held >= delaySeconds;
}

} // namespace

AlarmSettings AlarmSettingsOf(const TDataChannel& tag) {
    return {tag.AlarmPriority, tag.AlarmDeadband, tag.AlarmDelay};
}

std::string AlarmConditionText(AlarmKind kind, const TDataChannel& tag) {
    const std::string value = WithUnit(ValueText(tag), tag);
    switch (kind) {
    case AlarmKind::High:
        return "High: " + value + " > " + WithUnit(FormatValue("%g", tag.HighThreshold), tag);
    case AlarmKind::Low:
        return "Low: " + value + " < " + WithUnit(FormatValue("%g", tag.LowThreshold), tag);
    case AlarmKind::Communication:
        return "No communication: " + StoredTextToUtf8(tag.Status);
    case AlarmKind::TooMany:
        break;
    }
    return std::string(kTooManyText);
}

std::vector<AlarmEvent> AlarmModel::Evaluate(size_t tagIndex, const TDataChannel& tag,
                                             const AlarmSettings& settings, const LinkContext& link,
                                             AlarmTime now) {
    const int level = tag.ValueValid ? AlarmState(tag) : kAlarmNone;
    const bool commFailed =
        link.linkEnabled && !link.demo && link.commDelaySeconds > 0 && CommunicationFailed(tag);
    std::lock_guard lock(m_mutex);
    auto found = m_tags.find(tagIndex);
    if (found == m_tags.end()) {
        if (level == kAlarmNone && !commFailed)
            return {};
        found = m_tags.emplace(tagIndex, TagAlarms{}).first;
    }
    TagAlarms& alarms = found->second;
    std::vector<AlarmEvent> events;
    if (tag.ValueValid) {
        Alarm& high = alarms[Slot(AlarmKind::High)];
        const bool highHolds =
            high.Active() ? tag.EnableAlert && tag.RealValue > tag.HighThreshold - settings.deadband
                          : level == kAlarmHigh;
        Judge(tagIndex, AlarmKind::High, high,
              {highHolds, settings.delaySeconds, false, tag.RealValue, tag.HighThreshold}, tag,
              settings.priority, now, events);
        Alarm& low = alarms[Slot(AlarmKind::Low)];
        const bool lowHolds =
            low.Active() ? tag.EnableAlert && tag.RealValue < tag.LowThreshold + settings.deadband
                         : level == kAlarmLow;
        Judge(tagIndex, AlarmKind::Low, low,
              {lowHolds, settings.delaySeconds, false, tag.RealValue, tag.LowThreshold}, tag,
              settings.priority, now, events);
    }
    Judge(tagIndex, AlarmKind::Communication, alarms[Slot(AlarmKind::Communication)],
          {commFailed, link.commDelaySeconds, true, tag.RealValue, link.commDelaySeconds}, tag,
          settings.priority, now, events);
    DropIfIdle(tagIndex);
    return events;
}

void AlarmModel::Judge(size_t tagIndex, AlarmKind kind, Alarm& alarm, const Condition& condition,
                       const TDataChannel& tag, int priority, AlarmTime now,
                       std::vector<AlarmEvent>& events) {
    // A shelved alarm follows its condition silently.
    std::vector<AlarmEvent> hidden;
    std::vector<AlarmEvent>& out = alarm.shelvedUntil ? hidden : events;
    if (!condition.holds) {
        alarm.pendingSince.reset();
        if (alarm.phase == Phase::Unacknowledged) {
            SetPhase(alarm, Phase::Returned);
            out.push_back(Event(AlarmEventType::Returned, tagIndex, kind, alarm, now));
        } else if (alarm.phase == Phase::Acknowledged) {
            SetPhase(alarm, Phase::Normal);
            out.push_back(Event(AlarmEventType::Cleared, tagIndex, kind, alarm, now));
        }
        return;
    }
    if (alarm.Active())
        return;
    if (!alarm.pendingSince)
        alarm.pendingSince = now;
    if (DelayElapsed(*alarm.pendingSince, now, condition.delaySeconds, condition.strictDelay))
        Raise(tagIndex, kind, alarm, condition, tag, priority, now, out);
}

void AlarmModel::Raise(size_t tagIndex, AlarmKind kind, Alarm& alarm, const Condition& condition,
                       const TDataChannel& tag, int priority, AlarmTime now,
                       std::vector<AlarmEvent>& events) {
    if (!alarm.Listed() && m_listed >= kMaxListedAlarms) {
        if (!m_tooManySince) {
            m_tooManySince = now;
            AlarmEvent event;
            event.type = AlarmEventType::TooMany;
            event.kind = AlarmKind::TooMany;
            event.priority = 1;
            event.time = now;
            event.text = kTooManyText;
            events.push_back(std::move(event));
        }
        return;
    }
    alarm.pendingSince.reset();
    alarm.priority = priority;
    alarm.since = now;
    alarm.value = condition.value;
    alarm.limit = condition.limit;
    alarm.text = AlarmConditionText(kind, tag);
    alarm.acknowledgedBy.clear();
    alarm.acknowledgedAt.reset();
    SetPhase(alarm, Phase::Unacknowledged);
    events.push_back(Event(AlarmEventType::Raised, tagIndex, kind, alarm, now));
}

void AlarmModel::SetPhase(Alarm& alarm, Phase phase) {
    if (alarm.Listed() && phase == Phase::Normal)
        --m_listed;
    else if (!alarm.Listed() && phase != Phase::Normal)
        ++m_listed;
    alarm.phase = phase;
    if (m_listed < kMaxListedAlarms)
        m_tooManySince.reset();
}

AlarmModel::Alarm* AlarmModel::Find(size_t tagIndex, AlarmKind kind) {
    const auto found = m_tags.find(tagIndex);
    if (found == m_tags.end() || kind == AlarmKind::TooMany)
        return nullptr;
    return &found->second[Slot(kind)];
}

void AlarmModel::DropIfIdle(size_t tagIndex) {
    const auto found = m_tags.find(tagIndex);
    if (found != m_tags.end() &&
        std::ranges::all_of(found->second, [](const Alarm& alarm) { return alarm.Idle(); }))
        m_tags.erase(found);
}

AlarmEvent AlarmModel::Event(AlarmEventType type, size_t tagIndex, AlarmKind kind,
                             const Alarm& alarm, AlarmTime now) {
    AlarmEvent event;
    event.type = type;
    event.tagIndex = tagIndex;
    event.kind = kind;
    event.priority = alarm.priority;
    event.value = alarm.value;
    event.limit = alarm.limit;
    event.time = now;
    event.text = alarm.text;
    return event;
}

std::vector<AlarmEvent> AlarmModel::Acknowledge(size_t tagIndex, AlarmKind kind,
                                                std::string_view user, AlarmTime now) {
    std::lock_guard lock(m_mutex);
    Alarm* alarm = Find(tagIndex, kind);
    if (!alarm || alarm->shelvedUntil)
        return {};
    AlarmEventType type = AlarmEventType::Acknowledged;
    if (alarm->phase == Phase::Unacknowledged) {
        SetPhase(*alarm, Phase::Acknowledged);
        alarm->acknowledgedBy = user;
        alarm->acknowledgedAt = now;
    } else if (alarm->phase == Phase::Returned) {
        SetPhase(*alarm, Phase::Normal);
        type = AlarmEventType::Cleared;
    } else {
        return {};
    }
    AlarmEvent event = Event(type, tagIndex, kind, *alarm, now);
    event.user = user;
    DropIfIdle(tagIndex);
    return {std::move(event)};
}

std::vector<AlarmEvent> AlarmModel::AcknowledgeAll(std::string_view user, AlarmTime now) {
    std::vector<std::pair<size_t, AlarmKind>> waiting;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [tagIndex, alarms] : m_tags)
            for (AlarmKind kind : kKinds) {
                const Alarm& alarm = alarms[Slot(kind)];
                if (!alarm.shelvedUntil &&
                    (alarm.phase == Phase::Unacknowledged || alarm.phase == Phase::Returned))
                    waiting.emplace_back(tagIndex, kind);
            }
    }
    std::vector<AlarmEvent> events;
    for (const auto& [tagIndex, kind] : waiting)
        std::ranges::move(Acknowledge(tagIndex, kind, user, now), std::back_inserter(events));
    return events;
}

std::vector<AlarmEvent> AlarmModel::Shelve(size_t tagIndex, AlarmKind kind, AlarmTime until,
                                           std::string_view reason, AlarmTime now) {
    std::lock_guard lock(m_mutex);
    Alarm* alarm = Find(tagIndex, kind);
    if (!alarm || (!alarm->Listed() && !alarm->shelvedUntil) || until <= now)
        return {};
    alarm->shelvedUntil = until;
    alarm->shelveReason = reason;
    AlarmEvent event = Event(AlarmEventType::Shelved, tagIndex, kind, *alarm, now);
    event.text = reason;
    return {std::move(event)};
}

std::vector<AlarmEvent> AlarmModel::Unshelve(size_t tagIndex, AlarmKind kind, AlarmTime now) {
    std::lock_guard lock(m_mutex);
    Alarm* alarm = Find(tagIndex, kind);
    if (!alarm || !alarm->shelvedUntil)
        return {};
    alarm->shelvedUntil.reset();
    alarm->shelveReason.clear();
    std::vector<AlarmEvent> events{Event(AlarmEventType::Unshelved, tagIndex, kind, *alarm, now)};
    DropIfIdle(tagIndex);
    return events;
}

std::vector<AlarmEvent> AlarmModel::Tick(AlarmTime now) {
    std::vector<std::pair<size_t, AlarmKind>> due;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [tagIndex, alarms] : m_tags)
            for (AlarmKind kind : kKinds) {
                const auto& until = alarms[Slot(kind)].shelvedUntil;
                if (until && *until <= now)
                    due.emplace_back(tagIndex, kind);
            }
    }
    std::vector<AlarmEvent> events;
    for (const auto& [tagIndex, kind] : due)
        std::ranges::move(Unshelve(tagIndex, kind, now), std::back_inserter(events));
    return events;
}

std::unique_lock<std::recursive_mutex> AlarmModel::Hold() const {
    return std::unique_lock(m_mutex);
}

std::vector<size_t> AlarmModel::WaitingTags() const {
    std::vector<size_t> waiting;
    std::lock_guard lock(m_mutex);
    for (const auto& [tagIndex, alarms] : m_tags)
        if (std::ranges::any_of(alarms,
                                [](const Alarm& alarm) { return alarm.pendingSince.has_value(); }))
            waiting.push_back(tagIndex);
    return waiting;
}

void AlarmModel::ForgetTagsFrom(size_t count) {
    std::lock_guard lock(m_mutex);
    for (auto entry = m_tags.begin(); entry != m_tags.end();) {
        if (entry->first < count) {
            ++entry;
            continue;
        }
        for (Alarm& alarm : entry->second)
            SetPhase(alarm, Phase::Normal);
        entry = m_tags.erase(entry);
    }
}

AlarmInfo AlarmModel::Info(size_t tagIndex, AlarmKind kind, const Alarm& alarm) const {
    AlarmInfo info;
    static_cast<AlarmDetails&>(info) = alarm;
    info.tagIndex = tagIndex;
    info.kind = kind;
    switch (alarm.phase) {
    case Phase::Unacknowledged:
    case Phase::Normal:
        info.state = AlarmListState::Unacknowledged;
        break;
    case Phase::Acknowledged:
        info.state = AlarmListState::Acknowledged;
        break;
    case Phase::Returned:
        info.state = AlarmListState::Returned;
        break;
    }
    if (alarm.shelvedUntil)
        info.state = AlarmListState::Shelved;
    return info;
}

std::vector<AlarmInfo> AlarmModel::Alarms(bool withShelved) const {
    std::vector<AlarmInfo> rows;
    std::lock_guard lock(m_mutex);
    if (m_tooManySince) {
        AlarmInfo tooMany;
        tooMany.kind = AlarmKind::TooMany;
        tooMany.priority = 1;
        tooMany.since = *m_tooManySince;
        tooMany.text = kTooManyText;
        rows.push_back(std::move(tooMany));
    }
    for (const auto& [tagIndex, alarms] : m_tags)
        for (AlarmKind kind : kKinds) {
            const Alarm& alarm = alarms[Slot(kind)];
            if (alarm.shelvedUntil ? withShelved : alarm.Listed())
                rows.push_back(Info(tagIndex, kind, alarm));
        }
    const auto order = [](const AlarmInfo& row) {
        return std::tuple(row.kind != AlarmKind::TooMany, row.state, row.priority,
                          -row.since.time_since_epoch().count(), row.tagIndex, row.kind);
    };
    std::ranges::sort(rows,
                      [&](const AlarmInfo& a, const AlarmInfo& b) { return order(a) < order(b); });
    return rows;
}

AlarmCounts AlarmModel::Counts() const {
    AlarmCounts counts;
    std::lock_guard lock(m_mutex);
    for (const auto& [tagIndex, alarms] : m_tags)
        for (const Alarm& alarm : alarms) {
            if (alarm.shelvedUntil || !alarm.Listed())
                continue;
            ++counts.listed;
            if (alarm.phase != Phase::Acknowledged)
                ++counts.unacknowledged;
        }
    if (m_tooManySince)
        ++counts.listed;
    return counts;
}

std::optional<AlarmInfo> AlarmModel::NewestUnacknowledged() const {
    std::optional<AlarmInfo> newest;
    std::lock_guard lock(m_mutex);
    for (const auto& [tagIndex, alarms] : m_tags)
        for (AlarmKind kind : kKinds) {
            const Alarm& alarm = alarms[Slot(kind)];
            const bool waiting =
                alarm.phase == Phase::Unacknowledged || alarm.phase == Phase::Returned;
            if (waiting && !alarm.shelvedUntil && (!newest || alarm.since > newest->since))
                newest = Info(tagIndex, kind, alarm);
        }
    return newest;
}

} // namespace halvane
