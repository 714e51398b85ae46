#pragma once

#include "WebContext.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace halvane {

// What the request handler needs of an HTTP request.
struct WebRequest {
    std::string method;   // "GET", "HEAD", "POST"
    std::string path;     // decoded, without the query
    std::string user;     // of a Basic authorization header; empty without one
    std::string password; // likewise
};

// The answer, independent of the HTTP layer that sends it.
struct WebResponse {
    int status = 200;
    std::string contentType;
    std::string body;           // the bytes sent, one byte per character for text
    std::filesystem::path file; // when set, the document whose bytes are the body instead
    bool headersOnly = false;   // HEAD of a document: its type and length, no body
    std::string realm;          // when set, a Basic authentication challenge of that realm
    bool operator==(const WebResponse&) const = default;
};

inline constexpr std::string_view kRealm = "Login to Halvane";

// "<html><head><title>Error</title></head><body>" + reason phrase + "</body></html>".
std::string ErrorPage(std::string_view reasonPhrase);

// Answers one request; safe to call from several threads at once.
//
// "/" stands for "/index.html". A document under the document root wins over a template
// (the page name + ".tpl"), which wins over a screen picture ("/screen-image-N.bmp").
// A path that names none of these, names no screen of the list, or tries to leave the
// document root gets 404, before any credentials are asked for. When `Username` in
// `WebServer` is set, the request's user name and password must equal it and
// `Password`, else 401. A screen number or marker index that is not an integer of the
// int range fails with 500 and the message.
WebResponse HandleWebRequest(const WebRequest& request, const WebContext& context);

} // namespace halvane
