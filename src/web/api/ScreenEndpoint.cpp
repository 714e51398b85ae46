#include "ScreenEndpoint.h"

#include "ApiEndpoint.h"
#include "DecimalIndex.h"
#include "JsonText.h"
#include "StoredText.h"

#include <utility>

namespace halvane {

namespace {

constexpr std::string_view kScreensPath = "/api/screens";
constexpr std::string_view kPngPrefix = "/screen.";
constexpr std::string_view kPngSuffix = ".png";
constexpr std::string_view kNoScreen = "No such screen";

bool IsRead(std::string_view method) {
    return method == "GET" || method == "HEAD";
}

WebResponse NotRead() {
    return JsonError(405, "Method not allowed");
}

// The screen at position `text` of the list, when it is there.
std::optional<size_t> ScreenAt(std::string_view text, const ScreenSource& screens) {
    const auto number = ParseDecimalIndex(text);
    const int* position = std::get_if<int>(&number);
    if (!position || *position < 0 || static_cast<size_t>(*position) >= screens.ScreenCount())
        return std::nullopt;
    return static_cast<size_t>(*position);
}

void AppendOptionalNumber(std::string& out, std::optional<double> value) {
    if (value)
        AppendJsonNumber(out, *value);
    else
        out += "null";
}

void AppendOptionalInt(std::string& out, std::optional<int> value) {
    out += value ? std::to_string(*value) : "null";
}

// {"number", "title", "width", "height"}, open for more keys.
std::string ScreenHead(const ScreenSource& screens, size_t index) {
    const ScreenSize size = screens.ScreenSizeOf(index).value_or(ScreenSize{});
    std::string object = "{";
    AppendJsonKey(object, "number");
    object += std::to_string(index);
    AppendJsonKey(object, "title");
    AppendJsonString(object, StoredTextToUtf8(screens.ScreenCaption(index)));
    AppendJsonKey(object, "width");
    object += std::to_string(size.width);
    AppendJsonKey(object, "height");
    object += std::to_string(size.height);
    return object;
}

std::string ObjectJson(const ScreenObjectInfo& info) {
    std::string object = "{";
    AppendJsonKey(object, "type");
    AppendJsonString(object, info.type);
    for (const auto& [key, value] :
         {std::pair{"x", info.x}, {"y", info.y}, {"width", info.width}, {"height", info.height}}) {
        AppendJsonKey(object, key);
        object += std::to_string(value);
    }
    AppendJsonKey(object, "tag");
    AppendOptionalInt(object, info.tag);
    AppendJsonKey(object, "action");
    if (info.action.empty())
        object += "null";
    else
        AppendJsonString(object, info.action);
    AppendJsonKey(object, "value");
    AppendOptionalNumber(object, info.value);
    AppendJsonKey(object, "screen");
    AppendOptionalInt(object, info.screen);
    AppendJsonKey(object, "confirm");
    object += info.confirm ? "true" : "false";
    return object + '}';
}

WebResponse ScreenListJson(const ScreenSource* screens) {
    std::string body = "[";
    const size_t count = screens ? screens->ScreenCount() : 0;
    for (size_t index = 0; index < count; ++index) {
        if (index > 0)
            body += ',';
        body += ScreenHead(*screens, index) + '}';
    }
    return JsonAnswer(200, body + ']');
}

WebResponse ScreenWithObjects(const ScreenSource& screens, size_t index) {
    std::string body = ScreenHead(screens, index);
    AppendJsonKey(body, "objects");
    body += '[';
    bool first = true;
    for (const ScreenObjectInfo& info : screens.ScreenObjects(index)) {
        if (!std::exchange(first, false))
            body += ',';
        body += ObjectJson(info);
    }
    return JsonAnswer(200, body + "]}");
}

} // namespace

std::optional<WebResponse> ScreenListRoute(const WebRequest& request, const WebContext& context,
                                           std::stop_token /*stop*/) {
    const std::string_view path = request.path;
    if (!path.starts_with(kScreensPath))
        return std::nullopt;
    const std::string_view rest = path.substr(kScreensPath.size());
    if (!rest.empty() && !rest.starts_with('/'))
        return std::nullopt;
    if (!IsRead(request.method))
        return NotRead();
    if (rest.empty())
        return ScreenListJson(context.screens);
    const auto index = context.screens ? ScreenAt(rest.substr(1), *context.screens) : std::nullopt;
    if (!index)
        return JsonError(404, kNoScreen);
    return ScreenWithObjects(*context.screens, *index);
}

std::optional<WebResponse> ScreenPngRoute(const WebRequest& request, const WebContext& context,
                                          std::stop_token /*stop*/) {
    const std::string_view path = request.path;
    if (!path.starts_with(kPngPrefix) || !path.substr(kPngPrefix.size()).ends_with(kPngSuffix))
        return std::nullopt;
    if (!IsRead(request.method))
        return NotRead();
    // As for the BMP pictures, the number ends at the first suffix.
    const std::string_view rest = path.substr(kPngPrefix.size());
    const std::string_view text = rest.substr(0, rest.find(kPngSuffix));
    const auto number = ParseDecimalIndex(text);
    if (const auto* error = std::get_if<RequestError>(&number))
        return FailureMessage(error->message);
    const int position = std::get<int>(number);
    SharedBmp png = context.screens && position >= 0
                        ? context.screens->ScreenPng(static_cast<size_t>(position))
                        : nullptr;
    if (!png)
        return JsonError(404, kNoScreen);
    return WebResponse{200, "image/png", {}, {}, false, {}, std::move(png)};
}

} // namespace halvane
