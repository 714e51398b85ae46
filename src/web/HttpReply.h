#pragma once

#include "HttpRequestHead.h"
#include "UniqueFd.h"
#include "WebRequest.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace halvane {

// Every reply begins with these bytes, so they may be sent before the reply is known.
inline constexpr std::string_view kReplyStart = "HTTP/1.1 ";

// A reply ready to be written: the status line, the header lines and a generated body as
// bytes, then for a document the part of the open file that follows them.
struct HttpReply {
    std::string bytes;
    UniqueFd file;
    off_t fileOffset = 0;
    size_t fileLength = 0;
};

// The reply to `request` of the handler's `response`, always with its Content-Length and
// "Connection: close"; a HEAD request gets the head alone. A GET answered with 200 honours
// a Range of one byte range ("bytes=2-4", "bytes=5-", "bytes=-3"): 206 with exactly the
// bytes it names that the body has, 416 when it names none of them; any other Range is
// ignored and the whole body sent. A document is opened here and read while it is sent; one
// that cannot be opened is a failure (500).
HttpReply ComposeReply(const HttpRequestHead& request, WebResponse response);

// The server's own answer to a request that it refuses: the error page of `status`.
HttpReply RefusalReply(int status);

} // namespace halvane
