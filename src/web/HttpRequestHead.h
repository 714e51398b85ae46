#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace halvane {

// What the server takes from the head of a request.
struct HttpRequestHead {
    std::string method;        // "GET", "HEAD" or "POST"
    std::string path;          // the target without its query, percent-decoded
    std::string query;         // the target after its first "?", as sent
    std::string authorization; // the value of the first Authorization header
    std::string range;         // the value of the Range header; empty under If-Range
    // The first header of each name, for what a request may change (its body's type, and
    // where the page that sent it came from): empty when absent.
    std::string contentType;
    std::string origin;
    std::string host;
    std::string forwardedProto; // X-Forwarded-Proto, set by a TLS proxy in front
    bool operator==(const HttpRequestHead&) const = default;
};

// A request that the server answers itself with this status, then closes.
struct HttpRefusal {
    int status = 0;
    bool operator==(const HttpRefusal&) const = default;
};

// One header line as the transport has split it: the name and the value without the
// blanks around it.
struct HttpHeaderField {
    std::string_view name;
    std::string_view value;
};

// "%XX" of two hexadecimal digits is the byte XX; any other "%" stands for itself.
std::string PercentDecoded(std::string_view text);

// A length or a byte position of HTTP: decimal digits alone. One too large for size_t is
// the largest size_t, beyond every length there is.
std::optional<size_t> ParseDecimalSize(std::string_view text);

// The request of `method`, `target` (as sent) and its header lines in their order, once the
// transport has framed them; `headBytes` is the size of the whole head. Refused with
// - 400: a method that HTTP does not define, a target that is no path ("/..."), a field
//   value with a control character, a Content-Length that is not one decimal number;
// - 405: a method of HTTP other than GET, HEAD and POST;
// - 414: a request line longer than kMaxHeadBytes;
// - 431: a head longer than kMaxHeadBytes, or more than kMaxHeaderLines header lines;
// - 411: a Transfer-Encoding (a body of unknown length);
// - 413: a Content-Length beyond kMaxBodyBytes.
std::variant<HttpRequestHead, HttpRefusal>
ReadRequestHead(std::string_view method, std::string_view target,
                const std::vector<HttpHeaderField>& fields, size_t headBytes);

} // namespace halvane
