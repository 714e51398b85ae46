#include "ApiEndpoint.h"

#include "AlarmActions.h"
#include "EventStream.h"
#include "JsonText.h"
#include "ScreenEndpoint.h"
#include "SessionEndpoint.h"
#include "TagEndpoint.h"

#include <algorithm>
#include <array>

namespace halvane {

namespace {

// The API's collections.
constexpr std::array<std::string_view, 4> kCollections{"/api/tags", "/api/session", kStreamPath,
                                                       "/api/screens"};
// Below the alarm list: its actions.
constexpr std::string_view kAlarmActions = "/api/alarms/";
constexpr std::string_view kPngPrefix = "/screen.";
constexpr std::string_view kPngSuffix = ".png";

// A route answers the requests it takes and leaves the others (nothing).
using Route = std::optional<WebResponse> (*)(const WebRequest&, const WebContext&, std::stop_token);

constexpr std::array<Route, 6> kRoutes{TagRoute,     SessionRoute,   AlarmActionRoute,
                                       &StreamRoute, ScreenPngRoute, ScreenListRoute};

} // namespace

bool IsApiPath(std::string_view path, const WebContext& context) {
    if (path.starts_with(kPngPrefix) && path.ends_with(kPngSuffix))
        return true;
    if (context.alarms && path.starts_with(kAlarmActions))
        return true;
    return std::ranges::any_of(kCollections, [path](std::string_view collection) {
        return path == collection ||
               (path.starts_with(collection) && path.substr(collection.size()).starts_with('/'));
    });
}

WebResponse ApiResponse(const WebRequest& request, const WebContext& context,
                        std::stop_token stop) {
    for (const Route route : kRoutes)
        if (auto answer = route(request, context, stop))
            return std::move(*answer);
    return JsonError(404, "Not found");
}

WebResponse JsonAnswer(int status, std::string body) {
    return {status, std::string(kJsonType), std::move(body), {}, false, {}, {}};
}

WebResponse JsonError(int status, std::string_view message) {
    std::string body = "{";
    AppendJsonKey(body, "error");
    AppendJsonString(body, message);
    body += '}';
    return JsonAnswer(status, std::move(body));
}

} // namespace halvane
