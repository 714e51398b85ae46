#pragma once

#include "JournalFormat.h"
#include "NotifyOptions.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace halvane {

// The event of the message the settings page sends to try the options.
inline constexpr std::string_view kTestEvent = "test";

// What one notification tells: the end or start of a tag's alarm as the journal wrote it,
// or, with `heldBack` above 0, how many of them the hourly cap held back, or (its event
// kTestEvent) a test of the options.
struct Notice {
    JournalEvent line;
    size_t heldBack = 0;

    bool operator==(const Notice&) const = default;
};

// Whether a journal line starts or ends an alarm of the priorities that notify: "raised",
// "returned", and "cleared" when the condition ended (not when an operator acknowledged an
// alarm whose condition had ended already: that one told its end when it returned).
bool StartsOrEndsAlarm(const JournalEvent& line, int minPriority);

// The subject as one line of UTF-8:
//   "[Halvane STATION] P1 raised: Tank level high 95.2 % > 90 %"
//   "[Halvane STATION] 12 more alarms in the last hour"
std::string NoticeSubject(const Notice& notice, std::string_view station);

// The whole mail as the server takes it: header lines (From, To, Subject, Date,
// MIME-Version, Content-Type), an empty line and the plain-text UTF-8 body, lines ended
// by CR LF. Whatever comes from names, units or the options goes into a header with its
// line breaks made spaces, and a subject that is not ASCII as RFC 2047 encoded words.
std::string MailMessage(const Notice& notice, const NotifyOptions& options,
                        std::string_view station);

// The webhook's JSON object: the fields of an alarm in /api/alarms ("tag", "name", "kind",
// "state", "priority", "value", "limit", "text", "since", "acknowledged_by",
// "acknowledged_at") and "event" and "station". A summary has "event" "summary", "count"
// and "text", besides "station".
std::string WebhookBody(const Notice& notice, std::string_view station);

// Text for a header line: its line breaks (and other control characters) as spaces.
std::string OneLine(std::string_view text);

// A header's text as RFC 2047 encoded words ("=?UTF-8?B?...?=", folded onto continuation
// lines) when it is not plain ASCII; plain text as it is.
std::string EncodedHeaderText(std::string_view utf8);

} // namespace halvane
