#pragma once

#include "WebRequest.h"

#include <optional>
#include <stop_token>

namespace halvane {

// The operator's actions on the alarms of tag N, while the station has alarms:
// - POST "/api/alarms/N/ack" acknowledges every alarm of the tag:
//   {"result": "acknowledged", "count": 2};
// - POST "/api/alarms/N/shelve" with {"minutes": 60, "reason": "sensor being replaced"}
//   shelves every listed alarm of the tag for that long: {"result": "shelved", "count": 1}.
//   As the station's shelve dialog takes them: a reason (blanks around it dropped) of 1 to
//   kMaxShelveReasonLength characters, and an end after now and no later than the latest
//   time the dialog offers (400 otherwise).
// Journaled with the account's name and the source "web". After the checks every action
// makes (ActionRefusal), 404 for no tag N. Any other path below "/api/alarms/" is not
// taken.
std::optional<WebResponse> AlarmActionRoute(const WebRequest& request, const WebContext& context,
                                            std::stop_token stop);

} // namespace halvane
