#pragma once

#include "WebRequest.h"

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace halvane {

// Whether a path belongs to the station's API for browsers: one of its collections
// ("/api/tags") or below one ("/api/tags/3"), and the PNG pictures of the screens
// ("/screen.N.png"); the actions on alarms only while the station has alarms. Such a path is
// answered by ApiResponse once the request may see it; a document or template of the same
// name wins. Any other path is no API's, so that it is refused before credentials are asked.
bool IsApiPath(std::string_view path, const WebContext& context);

// The answer to an API request (IsApiPath) that the request may see: the first route that
// takes it answers; 404 with a JSON error when none does.
WebResponse ApiResponse(const WebRequest& request, const WebContext& context,
                        std::stop_token stop = {});

// `body` (JSON) with `status`, typed as JSON.
WebResponse JsonAnswer(int status, std::string body);
// {"error": message} with `status`.
WebResponse JsonError(int status, std::string_view message);

} // namespace halvane
