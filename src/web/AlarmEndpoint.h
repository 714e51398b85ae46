#pragma once

#include "WebRequest.h"
#include "WebServerLimits.h"

#include <chrono>
#include <stop_token>
#include <string_view>

namespace halvane {

class AlarmService;

inline constexpr std::string_view kAlarmsPath = "/api/alarms";
inline constexpr std::string_view kEventsPath = "/api/events";

// The answer to "/api/alarms" once the request may see it: the alarm list as JSON
// (AlarmListJson), shelved alarms only with "shelved=1". Any other value of `shelved`
// gets 400 and a text that says why.
WebResponse AlarmListResponse(std::string_view query, const AlarmService& alarms);

// The answer to "/api/events?from=2026-12-10T08:00:00&to=2026-12-10T12:00:00" once the
// request may see it: the journal's lines of that range of local times, both included, as
// CSV with the journal's header. `from` and `to` are read as for "/history.csv" (without
// `to` the range ends now, without `from` it starts an hour before its end; 400 and a
// text that says why for a query that cannot be answered). Up to 100,000 lines, as many
// values as the history gives at most (413 beyond); reading ends, with 503, once
// `readTime` has passed or `stop` is requested. A station without a journal has no lines.
WebResponse JournalCsvResponse(std::string_view query, const AlarmService& alarms,
                               std::stop_token stop = {},
                               std::chrono::milliseconds readTime = kHistoryReadTime);

} // namespace halvane
