#include "HttpReply.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>

namespace halvane {

namespace {

// The statuses that the server sends.
constexpr std::array<std::pair<int, std::string_view>, 14> kReasonPhrases{{
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
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
}};

std::string_view ReasonPhrase(int status) {
    const auto entry = std::find_if(kReasonPhrases.begin(), kReasonPhrases.end(),
                                    [&](const auto& e) { return e.first == status; });
    return entry == kReasonPhrases.end() ? "Error" : entry->second;
}

std::string Head(int status, std::string_view type, size_t length, std::string_view fields) {
    std::string head = std::string(kReplyStart) + std::to_string(status) + " " +
                       std::string(ReasonPhrase(status)) + "\r\n";
    if (!type.empty())
        head += "Content-Type: " + std::string(type) + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += fields;
    head += "Connection: close\r\n\r\n";
    return head;
}

HttpReply PageReply(int status, std::string_view fields) {
    const std::string page = ErrorPage(ReasonPhrase(status));
    return {Head(status, kPageType, page.size(), fields) + page, {}, 0, 0};
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

} // namespace

HttpReply ComposeReply(const HttpRequestHead& request, WebResponse response) {
    HttpReply reply;
    size_t size = response.body.size();
    if (!response.file.empty()) {
        if (auto document = OpenDocument(response.file)) {
            reply.file = std::move(document->first);
            size = document->second;
        } else {
            response = FailureMessage("Cannot read " + response.file.filename().string());
            size = response.body.size();
        }
    }
    std::string fields;
    if (!response.realm.empty())
        fields += "WWW-Authenticate: Basic realm=\"" + response.realm + "\"\r\n";
    ByteRange range{ByteRange::Kind::Whole, 0, size};
    if (response.status == 200) {
        fields += "Accept-Ranges: bytes\r\n";
        if (request.method == "GET" && !request.range.empty())
            range = ChooseRange(request.range, size);
    }
    if (range.kind == ByteRange::Kind::Unsatisfiable)
        return PageReply(416, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
    int status = response.status;
    if (range.kind == ByteRange::Kind::Part) {
        status = 206;
        fields += "Content-Range: bytes " + std::to_string(range.first) + "-" +
                  std::to_string(range.first + range.length - 1) + "/" + std::to_string(size) +
                  "\r\n";
    } else {
        range = {ByteRange::Kind::Whole, 0, size};
    }
    reply.bytes = Head(status, response.contentType, range.length, fields);
    if (request.method == "HEAD" || response.headersOnly) {
        reply.file.Reset();
    } else if (reply.file.Valid()) {
        reply.fileOffset = static_cast<off_t>(range.first);
        reply.fileLength = range.length;
    } else {
        reply.bytes.append(response.body, range.first, range.length);
    }
    return reply;
}

HttpReply RefusalReply(int status) {
    return PageReply(status, status == 405 ? "Allow: GET, HEAD, POST\r\n" : "");
}

} // namespace halvane
