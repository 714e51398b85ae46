#pragma once

#include "AlarmModel.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

// "N alarms, M unacknowledged"; empty when no alarm is listed.
std::string AlarmCountsText(const AlarmCounts& counts);
// "Tag name: condition" of the newest alarm waiting for acknowledgement.
std::string NewestAlarmText(const AlarmInfo& alarm, std::string_view tagName);

// One alarm that sounded when the operator silenced the sound: the same alarm raised
// again (a later `since`) sounds again.
struct SilencedAlarm {
    size_t tagIndex = kNoTag;
    AlarmKind kind = AlarmKind::High;
    AlarmTime since;
    bool operator==(const SilencedAlarm&) const = default;
};

// The alarms that call for the sound: priority 1 or 2, waiting for acknowledgement (active
// or returned) and not shelved.
std::vector<SilencedAlarm> SoundingAlarms(std::span<const AlarmInfo> alarms);

// Whether the sound plays: it is switched on and a sounding alarm exists that was not yet
// sounding when the operator silenced it.
bool AlarmSoundWanted(std::span<const AlarmInfo> alarms, bool soundOn,
                      std::span<const SilencedAlarm> silenced);

} // namespace halvane
