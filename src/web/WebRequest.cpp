#include "WebRequest.h"

#include "AlarmEndpoint.h"
#include "ApiEndpoint.h"
#include "DecimalIndex.h"
#include "DocumentPath.h"
#include "HistoryEndpoint.h"
#include "HmiFiles.h"
#include "MediaType.h"
#include "PageText.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "WebTemplate.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>

namespace halvane {

namespace {

constexpr std::string_view kScreenPrefix = "/screen-image-";
constexpr std::string_view kScreenSuffix = ".bmp";

bool IsFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool IsHead(std::string_view method) {
    constexpr std::string_view kHead = "HEAD";
    return std::equal(method.begin(), method.end(), kHead.begin(), kHead.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
    });
}

// The number of "/screen-image-N.bmp" (N up to the first ".bmp"); -1 for any other path.
// Only a number of 0 or more names a screen.
OrRequestError<int> ScreenNumber(std::string_view path) {
    if (!path.starts_with(kScreenPrefix))
        return -1;
    const std::string_view rest = path.substr(kScreenPrefix.size());
    const size_t end = rest.find(kScreenSuffix);
    if (end == std::string_view::npos)
        return -1;
    return ParseDecimalIndex(rest.substr(0, end));
}

// Every byte is looked at whatever differs first, so that the time of a refusal tells
// nothing of how much of a guess was right.
bool SameBytes(std::string_view a, std::string_view b) {
    unsigned difference = a.size() != b.size() ? 1u : 0u;
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const auto left = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto right = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        difference |= static_cast<unsigned>(left ^ right);
    }
    return difference == 0;
}

// Credentials are compared exactly; a stored value counts both as its bytes and as the
// UTF-8 text they show, so one kept in Windows-1252 still matches a browser's UTF-8.
bool Matches(const std::string& sent, const std::string& stored) {
    const bool asStored = SameBytes(sent, stored);
    const bool asUtf8 = SameBytes(sent, StoredTextToUtf8(stored));
    return asStored || asUtf8;
}

bool Authorized(const WebRequest& request, const ProfileStore& store) {
    if (request.accountLogin)
        return *request.accountLogin;
    const std::string user = store.ReadString("WebServer", "Username", "");
    if (user.empty())
        return true;
    return Matches(request.user, user) &&
           Matches(request.password, store.ReadString("WebServer", "Password", ""));
}

// The work of "/api/alarms" and "/api/events", while the station has alarms.
std::optional<WebWork::Kind> AlarmWork(std::string_view path, const WebContext& context) {
    if (!context.alarms)
        return std::nullopt;
    if (path == kAlarmsPath)
        return WebWork::Kind::Alarms;
    if (path == kEventsPath)
        return WebWork::Kind::Events;
    return std::nullopt;
}

WebResponse Failure(int status, std::string_view reason) {
    return {status, std::string(kPageType), ErrorPage(reason), {}, false, {}, {}};
}

WebResponse NotFound() {
    return Failure(404, "Not Found");
}

WebResponse Unauthorized() {
    WebResponse response = Failure(401, "Unauthorized");
    response.realm = kRealm;
    return response;
}

WebResponse ServerError(const RequestError& error) {
    return FailureMessage(error.message);
}

WebResponse Document(const std::filesystem::path& file, std::string_view method) {
    return {200, MediaTypeOf(file), {}, file, IsHead(method), {}, {}};
}

// The bytes of a file, read in one piece of its size.
std::optional<std::string> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

WebResponse Template(const std::filesystem::path& file, const WebContext& context,
                     std::stop_token stop) {
    auto text = ReadBytes(file);
    if (!text)
        return ServerError({"Cannot read " + file.filename().string()});
    *text = TemplateTextToUtf8(*text); // the bytes go as soon as they are decoded
    auto page = ExpandTemplate(*text, context, std::move(stop));
    if (auto* error = std::get_if<RequestError>(&page))
        return ServerError(*error);
    std::string body = Utf8ToLatin1Page(std::get<std::string>(page));
    return {200, std::string(kPageType), std::move(body), {}, false, {}, {}};
}

WebResponse HmiPage(HmiFile file) {
    return {200, std::string(file.mediaType), std::move(file.bytes), {}, false, {}, {}};
}

WebResponse ScreenPicture(int number, const WebContext& context) {
    SharedBmp bmp =
        context.screens ? context.screens->ScreenBmp(static_cast<size_t>(number)) : nullptr;
    if (!bmp)
        return NotFound();
    return {200, "image/bmp", {}, {}, false, {}, std::move(bmp)};
}

} // namespace

std::string ErrorPage(std::string_view reasonPhrase) {
    return "<html><head><title>Error</title></head><body>" + std::string(reasonPhrase) +
           "</body></html>";
}

WebResponse FailureMessage(std::string_view message) {
    return {500, std::string(kMessageType), StoredTextToUtf8(message), {}, false, {}, {}};
}

std::variant<WebResponse, WebWork> BeginWebRequest(const WebRequest& request,
                                                   const WebContext& context) {
    const std::string_view requestPath =
        request.path == "/" ? std::string_view("/index.html") : HmiRequestPath(request.path);
    const auto number = ScreenNumber(requestPath);
    if (auto* error = std::get_if<RequestError>(&number))
        return ServerError(*error);
    const int screen = std::get<int>(number);
    const auto path = DocumentPath(requestPath);
    if (!path)
        return NotFound();
    auto templatePath = *path;
    templatePath += ".tpl";
    const bool isFile = IsFile(*path);
    const bool isHistory = !isFile && requestPath == kHistoryPath;
    const bool isTemplate = !isFile && !isHistory && screen < 0 && IsFile(templatePath);
    const auto alarmWork = isFile || isTemplate ? std::nullopt : AlarmWork(requestPath, context);
    const bool isApi = !isFile && !isTemplate && !isHistory && !alarmWork && screen < 0 &&
                       IsApiPath(requestPath, context);
    auto hmiFile = isFile || isTemplate || isHistory || alarmWork || isApi || screen >= 0
                       ? std::nullopt
                       : HmiFileAt(requestPath);
    if (!isFile && !isTemplate && !isHistory && !alarmWork && !isApi && !hmiFile && screen < 0)
        return NotFound();
    if (!Authorized(request, context.store))
        return Unauthorized();
    if (isFile)
        return Document(*path, request.method);
    if (isHistory)
        return WebWork{WebWork::Kind::History, {}, -1};
    if (isTemplate)
        return WebWork{WebWork::Kind::Template, std::move(templatePath), -1};
    if (alarmWork)
        return WebWork{*alarmWork, {}, -1};
    if (isApi)
        return WebWork{WebWork::Kind::Api, {}, -1};
    if (hmiFile)
        return HmiPage(std::move(*hmiFile));
    return WebWork{WebWork::Kind::Picture, {}, screen};
}

WebResponse FinishWebRequest(const WebWork& work, const WebRequest& request,
                             const WebContext& context, std::stop_token stop) {
    switch (work.kind) {
    case WebWork::Kind::History:
        return HistoryCsvResponse(request.query, context, std::move(stop));
    case WebWork::Kind::Template:
        return Template(work.templatePath, context, std::move(stop));
    case WebWork::Kind::Alarms:
        return AlarmListResponse(request.query, *context.alarms);
    case WebWork::Kind::Events:
        return JournalCsvResponse(request.query, *context.alarms, std::move(stop));
    case WebWork::Kind::Api:
        return ApiResponse(request, context, std::move(stop));
    case WebWork::Kind::Picture:
        break;
    }
    return ScreenPicture(work.screen, context);
}

WebResponse TooManyLogins() {
    return Failure(429, "Too Many Requests");
}

WebResponse HandleWebRequest(const WebRequest& request, const WebContext& context,
                             std::stop_token stop) {
    auto begun = BeginWebRequest(request, context);
    if (auto* response = std::get_if<WebResponse>(&begun))
        return std::move(*response);
    return FinishWebRequest(std::get<WebWork>(begun), request, context, std::move(stop));
}

} // namespace halvane
