#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace halvane {

// What the server takes from the head of a request.
struct HttpRequestHead {
    std::string method;        // "GET", "HEAD" or "POST"
    std::string path;          // the target without its query, percent-decoded
    std::string query;         // the target after its first "?", as sent
    std::string authorization; // the value of the first Authorization header
    std::string range;         // the value of the Range header; empty under If-Range
    size_t bodyLength = 0;     // Content-Length
    bool operator==(const HttpRequestHead&) const = default;
};

// A request that the server answers itself with this status, then closes.
struct HttpRefusal {
    int status = 0;
    bool operator==(const HttpRefusal&) const = default;
};

// "%XX" of two hexadecimal digits is the byte XX; any other "%" stands for itself.
std::string PercentDecoded(std::string_view text);

// A length or a byte position of HTTP: decimal digits alone. One too large for size_t is
// the largest size_t, beyond every length there is.
std::optional<size_t> ParseDecimalSize(std::string_view text);

// The request whose head is `head`: the request line and the header lines, each ending in
// CR LF or a lone LF, without the empty line after them. Refused with
// - 400: a request line other than "METHOD /target HTTP/1.x", a method that HTTP does not
//   define, a header line that is no "name: value" (folded lines included), a
//   Content-Length that is not one decimal number;
// - 405: a method of HTTP other than GET, HEAD and POST;
// - 431: more than kMaxHeaderLines header lines;
// - 411: a Transfer-Encoding (a body of unknown length);
// - 413: a Content-Length beyond kMaxBodyBytes.
std::variant<HttpRequestHead, HttpRefusal> ParseRequestHead(std::string_view head);

} // namespace halvane
