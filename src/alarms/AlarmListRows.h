#pragma once

#include "AlarmModel.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace halvane {

// The alarm list's columns, in order.
enum class AlarmListColumn { Time, Priority, Tag, Name, Condition, State, AcknowledgedBy };
constexpr int kAlarmListColumnCount = 7;

std::span<const std::string_view> AlarmListHeaders();

// The texts of one row, UTF-8, by AlarmListColumn. `tagName` is the tag's name as UTF-8;
// `now` tells whether a shelved alarm's end needs its date.
using AlarmRowCells = std::array<std::string, kAlarmListColumnCount>;
AlarmRowCells AlarmRowTexts(const AlarmInfo& alarm, std::string_view tagName, AlarmTime now);

// "yyyy-MM-dd HH:mm:ss" in local time.
std::string AlarmLocalTimeText(AlarmTime at);
// "P1".."P4".
std::string PriorityText(int priority);
// "Unacknowledged", "Acknowledged", "Returned", "Shelved until HH:mm" (ending today),
// "Shelved until yyyy-MM-dd HH:mm" (ending another day).
std::string AlarmStateText(const AlarmInfo& alarm, AlarmTime now);

// A priority's colours as 0xRRGGBB: the background and the text readable on it. Priorities
// outside 1..4 take those of 3.
struct PriorityColours {
    uint32_t background = 0;
    uint32_t text = 0;
};
PriorityColours ColoursOfPriority(int priority);

} // namespace halvane
