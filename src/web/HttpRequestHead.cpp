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

// Visible characters, spaces and tabs; no other control character.
bool IsFieldValue(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::optional<HttpRefusal> ReadMethodAndTarget(std::string_view method, std::string_view target,
                                               HttpRequestHead& head) {
    if (IsOneOf(method, kOtherMethods))
        return HttpRefusal{405};
    if (!IsOneOf(method, kServedMethods) || !target.starts_with('/') || !IsFieldValue(target) ||
        target.find(' ') != std::string_view::npos)
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
    std::optional<std::string_view> contentType;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> host;
    std::optional<std::string_view> forwardedProto;
    bool ifRange = false;
    bool transferEncoding = false;
    size_t lines = 0;
};

// Keeps the first value of a header that may come more than once.
void KeepFirst(std::string_view name, std::string_view wanted, std::string_view value,
               std::optional<std::string_view>& kept) {
    if (!kept && EqualsIgnoringCase(name, wanted))
        kept = value;
}

// False for a field that no request may carry.
bool ReadHeaderField(const HttpHeaderField& field, HeaderFields& fields) {
    const auto [name, value] = field;
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
    KeepFirst(name, "Content-Type", value, fields.contentType);
    KeepFirst(name, "Origin", value, fields.origin);
    KeepFirst(name, "Host", value, fields.host);
    KeepFirst(name, "X-Forwarded-Proto", value, fields.forwardedProto);
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

std::variant<HttpRequestHead, HttpRefusal>
ReadRequestHead(std::string_view method, std::string_view target,
                const std::vector<HttpHeaderField>& headerFields, size_t headBytes) {
    constexpr std::string_view kVersion = " HTTP/1.1\r\n";
    if (method.size() + 1 + target.size() + kVersion.size() > kMaxHeadBytes)
        return HttpRefusal{414};
    HttpRequestHead request;
    if (const auto refusal = ReadMethodAndTarget(method, target, request))
        return *refusal;
    HeaderFields fields;
    for (const HttpHeaderField& field : headerFields) {
        if (!ReadHeaderField(field, fields))
            return HttpRefusal{400};
    }
    const auto length = ParseDecimalSize(fields.contentLength.value_or("0"));
    if (!length)
        return HttpRefusal{400};
    if (headBytes > kMaxHeadBytes || fields.lines > kMaxHeaderLines)
        return HttpRefusal{431};
    if (fields.transferEncoding)
        return HttpRefusal{411};
    if (*length > kMaxBodyBytes)
        return HttpRefusal{413};
    request.authorization = fields.authorization.value_or("");
    request.range = fields.ifRange ? "" : fields.range.value_or("");
    request.contentType = fields.contentType.value_or("");
    request.origin = fields.origin.value_or("");
    request.host = fields.host.value_or("");
    request.forwardedProto = fields.forwardedProto.value_or("");
    return request;
}

} // namespace halvane
