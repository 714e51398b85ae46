#include "HttpRequestHead.h"

#include "WebServerLimits.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace halvane {

namespace {

constexpr std::array<std::string_view, 3> kServedMethods{"GET", "HEAD", "POST"};
constexpr std::array<std::string_view, 6> kOtherMethods{"PUT",     "DELETE", "CONNECT",
                                                        "OPTIONS", "TRACE",  "PATCH"};

bool IsOneOf(std::string_view word, const auto& words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool IsTokenChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

// Visible characters, spaces and tabs; no other control character.
bool IsFieldValue(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The first line of `rest`, without its CR LF or LF; `rest` then starts after it.
std::string_view TakeHeadLine(std::string_view& rest) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::optional<HttpRefusal> ReadRequestLine(std::string_view line, HttpRequestHead& head) {
    const size_t firstSpace = line.find(' ');
    const size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace)
        return HttpRefusal{400};
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    const std::string_view version = line.substr(lastSpace + 1);
    if (IsOneOf(method, kOtherMethods))
        return HttpRefusal{405};
    if (!IsOneOf(method, kServedMethods) || !target.starts_with('/') || !IsFieldValue(target) ||
        target.find(' ') != std::string_view::npos ||
        (version != "HTTP/1.1" && version != "HTTP/1.0"))
        return HttpRefusal{400};
    head.method = method;
    const size_t question = target.find('?');
    head.path = PercentDecoded(target.substr(0, question));
    if (question != std::string_view::npos)
        head.query = target.substr(question + 1);
    return std::nullopt;
}

struct HeaderFields {
    std::optional<std::string_view> authorization;
    std::optional<std::string_view> range;
    std::optional<std::string_view> contentLength;
    bool ifRange = false;
    bool transferEncoding = false;
    size_t lines = 0;
};

// False for a line that is no "name: value".
bool ReadHeaderLine(std::string_view line, HeaderFields& fields) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)))
        return false;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (!IsFieldValue(value))
        return false;
    ++fields.lines;
    if (EqualsIgnoringCase(name, "Authorization") && !fields.authorization)
        fields.authorization = value;
    else if (EqualsIgnoringCase(name, "Range") && !fields.range)
        fields.range = value;
    else if (EqualsIgnoringCase(name, "If-Range"))
        fields.ifRange = true;
    else if (EqualsIgnoringCase(name, "Transfer-Encoding"))
        fields.transferEncoding = true;
    else if (EqualsIgnoringCase(name, "Content-Length") && fields.contentLength)
        return false; // two lengths: which one frames the body is ambiguous
    else if (EqualsIgnoringCase(name, "Content-Length"))
        fields.contentLength = value;
    return true;
}

} // namespace

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<size_t> ParseDecimalSize(std::string_view text) {
    size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        return SIZE_MAX;
    return error == std::errc() ? std::optional(value) : std::nullopt;
}

std::variant<HttpRequestHead, HttpRefusal> ParseRequestHead(std::string_view head) {
    HttpRequestHead request;
    std::string_view rest = head;
    if (const auto refusal = ReadRequestLine(TakeHeadLine(rest), request))
        return *refusal;
    HeaderFields fields;
    while (!rest.empty()) {
        if (!ReadHeaderLine(TakeHeadLine(rest), fields))
            return HttpRefusal{400};
    }
    const auto length = ParseDecimalSize(fields.contentLength.value_or("0"));
    if (!length)
        return HttpRefusal{400};
    if (fields.lines > kMaxHeaderLines)
        return HttpRefusal{431};
    if (fields.transferEncoding)
        return HttpRefusal{411};
    if (*length > kMaxBodyBytes)
        return HttpRefusal{413};
    request.authorization = fields.authorization.value_or("");
    request.range = fields.ifRange ? "" : fields.range.value_or("");
    request.bodyLength = *length;
    return request;
}

} // namespace halvane
