#pragma once

#include "HttpRequestHead.h"
#include "UniqueFd.h"
#include "WebRequest.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvane {

// Bytes held in memory for as long as `owner` lives: a generated page, or a screen picture
// that every reader of its frame shares.
struct SharedBytes {
    std::shared_ptr<const void> owner;
    std::string_view bytes;
};

// A reply ready for the transport: its status, its header fields other than Content-Length
// (which is `length`), and its body, either bytes in memory or a part of an open document.
// A HEAD request is told the length; the transport sends no body.
struct HttpReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> fields;
    SharedBytes memory;
    UniqueFd file;
    uint64_t fileOffset = 0;
    size_t length = 0;
};

// The reply to `request` of the handler's `response`. A GET answered with 200 honours a
// Range of one byte range ("bytes=2-4", "bytes=5-", "bytes=-3"): 206 with exactly the bytes
// it names that the body has, 416 when it names none of them; any other Range is ignored
// and the whole body sent. A document is opened here and read while it is sent; one that
// cannot be opened is a failure (500).
HttpReply ComposeReply(const HttpRequestHead& request, WebResponse response);

// The server's own answer to a request that it refuses: the error page of `status`.
HttpReply RefusalReply(int status);

// The error page of `status` as bytes that a server can write on its own, head and body,
// for a request that it gives up waiting for.
std::string RefusalBytes(int status);

} // namespace halvane
