#include "SessionEndpoint.h"

#include "ApiEndpoint.h"
#include "ApiRequest.h"
#include "JsonText.h"

#include <string>
#include <string_view>

namespace halvane {

namespace {

constexpr std::string_view kSessionPath = "/api/session";

void AppendTextOrNull(std::string& out, const std::optional<std::string_view>& text) {
    if (text)
        AppendJsonString(out, *text);
    else
        out += "null";
}

} // namespace

std::optional<WebResponse> SessionRoute(const WebRequest& request, const WebContext&,
                                        std::stop_token) {
    if (request.path != kSessionPath)
        return std::nullopt;
    if (!IsRead(request))
        return JsonError(405, "The session is read with GET.");
    const auto& account = request.account;
    std::string body = "{";
    AppendJsonKey(body, "user");
    AppendTextOrNull(body, account ? std::optional<std::string_view>(account->name) : std::nullopt);
    AppendJsonKey(body, "role");
    AppendTextOrNull(body, account ? std::optional(RoleName(account->role)) : std::nullopt);
    AppendJsonKey(body, "accounts");
    body += request.accountLogin ? "true" : "false";
    AppendJsonKey(body, "operate");
    body += account && account->role >= Role::Operator ? "true" : "false";
    body += '}';
    return JsonAnswer(200, std::move(body));
}

} // namespace halvane
