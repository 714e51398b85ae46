#include "AlarmAnnunciation.h"

#include <algorithm>

namespace halvane {

std::string AlarmCountsText(const AlarmCounts& counts) {
    if (counts.listed == 0)
        return {};
    return std::to_string(counts.listed) + " alarms, " + std::to_string(counts.unacknowledged) +
           " unacknowledged";
}

std::string NewestAlarmText(const AlarmInfo& alarm, std::string_view tagName) {
    return std::string(tagName) + ": " + alarm.text;
}

std::vector<SilencedAlarm> SoundingAlarms(std::span<const AlarmInfo> alarms) {
    std::vector<SilencedAlarm> sounding;
    for (const AlarmInfo& alarm : alarms) {
        const bool waiting = alarm.state == AlarmListState::Unacknowledged ||
                             alarm.state == AlarmListState::Returned;
        if (waiting && alarm.priority <= 2 && alarm.kind != AlarmKind::TooMany)
            sounding.push_back({alarm.tagIndex, alarm.kind, alarm.since});
    }
    return sounding;
}

bool AlarmSoundWanted(std::span<const AlarmInfo> alarms, bool soundOn,
                      std::span<const SilencedAlarm> silenced) {
    if (!soundOn)
        return false;
    const std::vector<SilencedAlarm> sounding = SoundingAlarms(alarms);
    return std::ranges::any_of(sounding, [&](const SilencedAlarm& alarm) {
        return std::ranges::find(silenced, alarm) == silenced.end();
    });
}

} // namespace halvane
