#include "HttpReply.h"

#include "HmiFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace halvane {

namespace {

// The statuses that the server sends.
constexpr std::array<std::pair<int, std::string_view>, 15> kReasonPhrases{{
    {200, "OK"},
    {206, "Partial Content"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {411, "Length Required"},
    {413, "Payload Too Large"},
    {414, "URI Too Long"},
    {416, "Range Not Satisfiable"},
    {429, "Too Many Requests"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
}};

std::string_view ReasonPhrase(int status) {
    const auto entry = std::find_if(kReasonPhrases.begin(), kReasonPhrases.end(),
                                    [&](const auto& e) { return e.first == status; });
    return entry == kReasonPhrases.end() ? "Error" : entry->second;
}

SharedBytes HeldBytes(std::string text) {
    auto owner = std::make_shared<const std::string>(std::move(text));
    const std::string_view bytes = *owner;
    return {std::move(owner), bytes};
}

HttpReply PageReply(int status, std::vector<std::pair<std::string, std::string>> fields) {
    HttpReply reply{status, {{"Content-Type", std::string(kPageType)}}, {}, {}, 0, 0};
    std::move(fields.begin(), fields.end(), std::back_inserter(reply.fields));
    reply.memory = HeldBytes(ErrorPage(ReasonPhrase(status)));
    reply.length = reply.memory.bytes.size();
    return reply;
}

// One byte range of a body of `size` bytes.
struct ByteRange {
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    size_t first = 0;
    size_t length = 0;
};

ByteRange ChooseRange(std::string_view value, size_t size) {
    constexpr std::string_view kUnit = "bytes=";
    if (!value.starts_with(kUnit) || value.find(',') != std::string_view::npos)
        return {};
    const std::string_view bounds = value.substr(kUnit.size());
    const size_t dash = bounds.find('-');
    if (dash == std::string_view::npos)
        return {};
    const auto first = ParseDecimalSize(bounds.substr(0, dash));
    const auto last = ParseDecimalSize(bounds.substr(dash + 1));
    if (!first) { // the last `last` bytes
        if (!last || dash != 0)
            return {};
        if (*last == 0 || size == 0)
            return {ByteRange::Kind::Unsatisfiable};
        const size_t length = std::min(*last, size);
        return {ByteRange::Kind::Part, size - length, length};
    }
    if (dash + 1 < bounds.size() && (!last || *last < *first))
        return {};
    if (*first >= size)
        return {ByteRange::Kind::Unsatisfiable};
    const size_t end = last ? std::min(*last, size - 1) : size - 1;
    return {ByteRange::Kind::Part, *first, end - *first + 1};
}

// A regular file opened for reading, and its size.
std::optional<std::pair<UniqueFd, size_t>> OpenDocument(const std::filesystem::path& path) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!file.Valid() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return std::pair{std::move(file), static_cast<size_t>(status.st_size)};
}

// The bytes of a body in memory: a shared picture or a generated text.
SharedBytes BodyBytes(WebResponse& response) {
    if (!response.picture)
        return HeldBytes(std::move(response.body));
    const auto& picture = *response.picture;
    const std::string_view bytes(reinterpret_cast<const char*>(picture.data()), picture.size());
    return {std::move(response.picture), bytes};
}

} // namespace

HttpReply ComposeReply(const HttpRequestHead& request, WebResponse response) {
    HttpReply reply;
    if (!response.file.empty()) {
        if (auto document = OpenDocument(response.file)) {
            reply.file = std::move(document->first);
            reply.length = document->second;
        } else {
            response = FailureMessage("Cannot read " + response.file.filename().string());
        }
    }
    if (!reply.file.Valid()) {
        reply.memory = BodyBytes(response);
        reply.length = reply.memory.bytes.size();
    }
    const size_t size = reply.length;
    if (!response.contentType.empty())
        reply.fields.emplace_back("Content-Type", response.contentType);
    if (!response.realm.empty())
        reply.fields.emplace_back("WWW-Authenticate", "Basic realm=\"" + response.realm + "\"");
    if (IsHmiPath(request.path)) // a new version of the station brings a new page
        reply.fields.emplace_back("Cache-Control", "no-cache");
    ByteRange range{ByteRange::Kind::Whole, 0, size};
    if (response.status == 200) {
        reply.fields.emplace_back("Accept-Ranges", "bytes");
        if (request.method == "GET" && !request.range.empty())
            range = ChooseRange(request.range, size);
    }
    if (range.kind == ByteRange::Kind::Unsatisfiable)
        return PageReply(416, {{"Content-Range", "bytes */" + std::to_string(size)}});
    reply.status = response.status;
    if (range.kind == ByteRange::Kind::Part) {
        reply.status = 206;
        reply.fields.emplace_back("Content-Range",
                                  "bytes " + std::to_string(range.first) + "-" +
                                      std::to_string(range.first + range.length - 1) + "/" +
                                      std::to_string(size));
        reply.fileOffset = range.first;
        reply.memory.bytes = reply.memory.bytes.substr(
            std::min(range.first, reply.memory.bytes.size()), range.length);
        reply.length = range.length;
    }
    return reply;
}

HttpReply RefusalReply(int status) {
    return PageReply(
        status, status == 405
                    ? std::vector<std::pair<std::string, std::string>>{{"Allow", "GET, HEAD, POST"}}
                    : std::vector<std::pair<std::string, std::string>>{});
}

std::string RefusalBytes(int status) {
    const std::string page = ErrorPage(ReasonPhrase(status));
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(ReasonPhrase(status)) +
           "\r\nContent-Type: " + std::string(kPageType) +
           "\r\nContent-Length: " + std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" +
           page;
}

} // namespace halvane
