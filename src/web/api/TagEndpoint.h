#pragma once

#include "WebRequest.h"

#include <optional>
#include <stop_token>

namespace halvane {

// "/api/tags": GET lists every tag (TagListJson). "/api/tags/N": GET is tag N's object,
// POST {"value": 12.5} presets output tag N as the station does (PresetValue, journaled
// with the account's name and the source "web") and answers {"result": "accepted"}; after
// the checks every action makes (ActionRefusal), 404 for no tag N, 400 for a body without
// a finite number "value", 409 for an input tag or a value the tag does not take (with
// the station's message), 500 when the preset could not be saved. 404 for any other
// path below "/api/tags/"; other methods get 405. Each answer is JSON.
std::optional<WebResponse> TagRoute(const WebRequest& request, const WebContext& context,
                                    std::stop_token stop);

} // namespace halvane
