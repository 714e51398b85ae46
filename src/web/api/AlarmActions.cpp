#include "AlarmActions.h"

#include "AlarmService.h"
#include "ApiEndpoint.h"
#include "ApiRequest.h"

#include <QJsonValue>
#include <QString>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace halvane {

namespace {

constexpr std::string_view kActionsPrefix = "/api/alarms/";
constexpr std::string_view kSource = "web";

struct AlarmAction {
    std::string_view number; // of the tag
    std::string_view verb;   // "ack" or "shelve"
};

std::optional<AlarmAction> ActionOf(std::string_view path) {
    if (!path.starts_with(kActionsPrefix))
        return std::nullopt;
    const std::string_view rest = path.substr(kActionsPrefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const AlarmAction action{rest.substr(0, slash), rest.substr(slash + 1)};
    if (action.verb != "ack" && action.verb != "shelve")
        return std::nullopt;
    return action;
}

WebResponse Done(std::string_view result, size_t count) {
    return JsonAnswer(200, R"({"result":")" + std::string(result) + R"(","count":)" +
                               std::to_string(count) + "}");
}

struct Shelving {
    AlarmTime until;
    std::string reason;
};

std::variant<Shelving, WebResponse> ShelvingOf(const QJsonObject& body, AlarmTime now) {
    using Minutes = std::chrono::duration<double, std::ratio<60>>;
    const std::optional<double> minutes = JsonNumber(body, u"minutes");
    const Minutes latest = kLatestShelveEnd - now;
    if (!minutes || !(*minutes > 0) || *minutes > latest.count())
        return JsonError(400, "\"minutes\" must be a number above 0 and at most " +
                                  std::to_string(static_cast<int64_t>(latest.count())) + ".");
    const QString reason = body.value("reason").toString().trimmed();
    if (reason.isEmpty() || reason.size() > kMaxShelveReasonLength)
        return JsonError(400, "\"reason\" must say why the alarm is shelved, in at most " +
                                  std::to_string(kMaxShelveReasonLength) + " characters.");
    return Shelving{now + std::chrono::duration_cast<AlarmTime::duration>(Minutes(*minutes)),
                    reason.toStdString()};
}

WebResponse Shelve(const WebRequest& request, size_t index, AlarmService& alarms,
                   const AlarmActor& actor) {
    auto body = JsonBodyObject(request);
    if (auto* refusal = std::get_if<WebResponse>(&body))
        return std::move(*refusal);
    auto shelving = ShelvingOf(std::get<QJsonObject>(body), std::chrono::system_clock::now());
    if (auto* refusal = std::get_if<WebResponse>(&shelving))
        return std::move(*refusal);
    const auto& [until, reason] = std::get<Shelving>(shelving);
    size_t count = 0;
    for (const AlarmInfo& alarm : alarms.Alarms(false))
        if (alarm.tagIndex == index)
            count += alarms.Shelve(index, alarm.kind, until, reason, actor);
    return Done("shelved", count);
}

} // namespace

std::optional<WebResponse> AlarmActionRoute(const WebRequest& request, const WebContext& context,
                                            std::stop_token) {
    const std::optional<AlarmAction> action = ActionOf(request.path);
    if (!context.alarms || !action)
        return std::nullopt;
    if (auto refusal = ActionRefusal(request))
        return std::move(*refusal);
    const std::optional<size_t> index = TagIndexOfNumber(action->number, context.tags);
    if (!index)
        return NoSuchTag(action->number);
    const AlarmActor actor{request.account->name, std::string(kSource)};
    if (action->verb == "ack")
        return Done("acknowledged", context.alarms->AcknowledgeTag(*index, actor));
    return Shelve(request, *index, *context.alarms, actor);
}

} // namespace halvane
