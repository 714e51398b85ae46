#pragma once

#include "RequestError.h"
#include "WebContext.h"

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>

namespace halvane {

// The value of the template marker "${name}", as UTF-8. The name is matched by its
// beginning ("tag_countx" is "tag_count"); an index is the text after the name's first
// "." and must be a decimal integer, else the request fails. An index that names no tag
// or screen gives an empty text. "tag_resetcount" and "screen_resetcount" set their
// counter to 0. "tag_status." and "tag_status_next" give the status a tag shows ("OK" while
// its value is valid).
OrRequestError<std::string> ResolveMarker(std::string_view name, const WebContext& context);

// The most text that one expansion may go through: its lines, each as often as it is
// expanded, with their line ends, and every text that its markers insert. The page is never
// longer; an expansion that would go beyond fails the request.
inline constexpr size_t kMaxExpansionBytes = 16 * 1024 * 1024;

// A template's text (UTF-8) with its markers replaced, every line ending in CR LF. The time
// it takes grows with the text gone through and no faster; it ends early, failing, once
// `stop` is requested. Expansions take turns (TemplateCounters::expansion): a page is
// made with the counters to itself.
//
// A line holding "${tag_gotonext}" repeats the line above it while the tag counter can
// move on to a further tag, the counter advancing before each repetition, and is then
// itself output ("${screen_gotonext}" likewise over screens). On the first line it has
// no line above and repeats nothing. One line repeats at most as many times as there are
// tags (or screens), so a line above that resets the counter itself cannot keep it going
// forever.
//
// Markers are replaced from the start of a line, and text that a marker inserts is
// searched for markers again. A "${" without a "}" after it ends the search of its line.
// A line takes at most its own number of "${" plus a fixed number of further
// replacements; what is left then is output as it stands, so a marker whose value holds
// the marker itself ends.
OrRequestError<std::string> ExpandTemplate(std::string_view text, const WebContext& context,
                                           std::stop_token stop = {});

} // namespace halvane
