#pragma once

#include "AlarmModel.h"
#include "JournalFormat.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace halvane {

// The alarm list as a JSON array, one object per row in the list's order:
//   {"tag": 1, "name": "Tank level", "kind": "high", "state": "unacknowledged",
//    "priority": 3, "value": 95.2, "limit": 90, "text": "High: 95.20 % > 90 %",
//    "since": "2026-12-10T20:05:01.123+01:00", "acknowledged_by": "",
//    "acknowledged_at": null}
// `tag` is the tag number as users see it (from 1) and `name` its name as `tagName` gives it
// for the row's index (UTF-8). `kind` is high, low or communication; `state` unacknowledged,
// acknowledged, returned or shelved, a shelved row also carrying "shelved_until". `value`
// is null for a communication alarm, which has no reading; its `limit` is the delay in
// seconds it waited for. Times are local with their offset (JournalTimeText), null when
// there is none. The entry that stands for the alarms beyond the list's capacity has
// `tag` null, `name` "", `kind` "too-many", `value` and `limit` null, and the text
// "too many alarms".
std::string AlarmListJson(const std::vector<AlarmInfo>& alarms,
                          const std::function<std::string(size_t)>& tagName);

// One journal line as a JSON object with the line's fields under lower-case names:
// {"time","event","tag","name","priority","value","limit","user","source","text"}; the
// fields the line leaves empty (tag, priority, value, limit) are null.
std::string JournalEventJson(const JournalEvent& event);

} // namespace halvane
