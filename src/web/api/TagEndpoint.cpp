#include "TagEndpoint.h"

#include "ApiEndpoint.h"
#include "ApiRequest.h"
#include "ProfileStore.h"
#include "TagJson.h"
#include "TagTable.h"
#include "WriteValue.h"

#include <string>
#include <string_view>

namespace halvane {

namespace {

constexpr std::string_view kTagsPath = "/api/tags";

// The tag's object; nothing when the table no longer holds it.
std::optional<WebResponse> OneTag(size_t index, const WebContext& context) {
    const size_t indices[] = {index};
    const std::string list = TagsJson(context.tags, indices, LimitAlarms::Now(context.alarms));
    if (list == "[]")
        return std::nullopt;
    return JsonAnswer(200, list.substr(1, list.size() - 2)); // the one object of the list
}

// Why `value` cannot be preset on the tag at `index`, or nothing.
std::optional<WebResponse> PresetRefusal(size_t index, double value, const TagTable& tags) {
    const TDataChannel tag = tags.Snapshot(index);
    if (!tag.IsOutputTag())
        return JsonError(409, "Tag " + std::to_string(index + 1) +
                                  " is an input tag: only output tags can be set.");
    if (auto error = PresetRangeError(tag, value))
        return JsonError(409, *error);
    return std::nullopt;
}

WebResponse Preset(const WebRequest& request, std::string_view number, const WebContext& context) {
    if (auto refusal = ActionRefusal(request))
        return std::move(*refusal);
    const std::optional<size_t> index = TagIndexOfNumber(number, context.tags);
    if (!index)
        return NoSuchTag(number);
    auto body = JsonBodyObject(request);
    if (auto* refusal = std::get_if<WebResponse>(&body))
        return std::move(*refusal);
    const std::optional<double> value = JsonNumber(std::get<QJsonObject>(body), u"value");
    if (!value)
        return JsonError(400, "The body must give the value as a number: {\"value\": 12.5}.");
    if (auto refusal = PresetRefusal(*index, *value, context.tags))
        return std::move(*refusal);
    const PresetOutcome outcome = PresetValue(context.tags, context.store, *index, *value,
                                              WriteOrigin(WriteSource::Web, request.account->name));
    if (outcome == PresetOutcome::Stored)
        return JsonAnswer(200, R"({"result":"accepted"})");
    // Out of range now: the tag changed between the check and the preset.
    if (outcome == PresetOutcome::OutOfRange)
        if (auto refusal = PresetRefusal(*index, *value, context.tags))
            return std::move(*refusal);
    return JsonError(500, context.store.LastError());
}

} // namespace

std::optional<WebResponse> TagRoute(const WebRequest& request, const WebContext& context,
                                    std::stop_token) {
    const std::string_view path = request.path;
    if (path == kTagsPath) {
        if (!IsRead(request))
            return JsonError(405, "The tag list is read with GET.");
        return JsonAnswer(200, TagListJson(context.tags, LimitAlarms::Now(context.alarms)));
    }
    if (!path.starts_with(kTagsPath) || path.substr(kTagsPath.size(), 1) != "/")
        return std::nullopt;
    const std::string_view number = path.substr(kTagsPath.size() + 1);
    if (!IsRead(request))
        return Preset(request, number, context);
    const std::optional<size_t> index = TagIndexOfNumber(number, context.tags);
    std::optional<WebResponse> tag = index ? OneTag(*index, context) : std::nullopt;
    return tag ? std::move(*tag) : NoSuchTag(number);
}

} // namespace halvane
