#pragma once

#include "AlarmModel.h"
#include "TagTable.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace halvane {

class AlarmService;

// The limit alarm each tag is in while its condition lasts (raised, acknowledged or not),
// by tag index: High, Low or nothing. A returned or shelved alarm does not count.
class LimitAlarms final {
public:
    LimitAlarms() = default;
    explicit LimitAlarms(const std::vector<AlarmInfo>& alarms);
    // Of the service's list now; none without a service.
    static LimitAlarms Now(const AlarmService* alarms);

    std::optional<AlarmKind> Of(size_t tagIndex) const;

private:
    std::vector<std::pair<size_t, AlarmKind>> m_active; // by tag index
};

// One tag as a JSON object:
//   {"number": 1, "name": "Tank level", "value": 95.2, "text": "95.20 %", "unit": "%",
//    "valid": true, "status": "OK", "alarm": "high", "writable": false,
//    "min": null, "max": null, "ts": "2026-12-10T20:05:01.123+01:00"}
// `number` is the tag number users see (index + 1); `value` is null while the tag has no
// valid value; `text` is its value as the station shows it, with the unit; `status` is the
// shown status; `alarm` is "high", "low" or null; `writable` tells an output tag, whose
// `min` and `max` are the values an operator may set (null for an input tag); `ts` is
// when the tag last changed (local time with its offset), null before its first change.
// Texts are UTF-8.
void AppendTagJson(std::string& out, const TDataChannel& tag, size_t index,
                   std::optional<TagTable::ChangeTime> changedAt, std::optional<AlarmKind> alarm);

// What a tag's object shows, copied from the table under its lock so that the object can be
// written without it.
struct TagFacts {
    size_t index = 0;
    std::string name;
    std::string unit;
    std::string format;
    std::string status; // as shown
    double value = 0;
    bool valid = false;
    std::optional<std::pair<double, double>> range; // what an output tag may be set to
    std::optional<TagTable::ChangeTime> changedAt;
};
TagFacts TagFactsOf(const TDataChannel& tag, size_t index,
                    std::optional<TagTable::ChangeTime> changedAt);
void AppendTagJson(std::string& out, const TagFacts& tag, std::optional<AlarmKind> alarm);

// Every tag of the table as a JSON array of those objects, in index order. The table's lock
// is held only to copy what the objects show, not while they are written.
std::string TagListJson(const TagTable& tags, const LimitAlarms& alarms);
// The tags at `indices` (those in the table), in their order.
std::string TagsJson(const TagTable& tags, std::span<const size_t> indices,
                     const LimitAlarms& alarms);

} // namespace halvane
