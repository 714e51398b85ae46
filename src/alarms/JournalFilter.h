#pragma once

#include "JournalFormat.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

// The events the journal knows, in the order the viewer offers them.
std::span<const std::string_view> JournalEventNames();

// The event's fields as the journal file holds them, unquoted, in the header's order.
std::vector<std::string> JournalFields(const JournalEvent& event);

// What the journal viewer shows of the lines read.
struct JournalCriteria {
    std::string text;       // found in any field, ignoring case; empty: any line
    std::optional<int> tag; // the tag number as users see it
    std::string event;      // one of JournalEventNames(); empty: every event
};

// The positions in `events` of those that meet `criteria`, in order.
std::vector<size_t> JournalFilter(std::span<const JournalEvent> events,
                                  const JournalCriteria& criteria);

} // namespace halvane
