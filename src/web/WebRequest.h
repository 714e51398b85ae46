#pragma once

#include "Accounts.h"
#include "WebContext.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>

namespace halvane {

// The station's account behind a request, once its login has been verified.
struct WebAccount {
    std::string name; // as the users file writes it
    Role role = Role::Viewer;
    bool operator==(const WebAccount&) const = default;
};

// What the request handler needs of an HTTP request.
struct WebRequest {
    std::string method;   // "GET", "HEAD", "POST"
    std::string path;     // decoded, without the query
    std::string user;     // of a Basic authorization header; empty without one
    std::string password; // likewise
    std::string query;    // after the "?", as sent
    // With the station's accounts: whether the login has been verified against them, which
    // then decides instead of the configuration's web user.
    std::optional<bool> accountLogin;
    std::optional<WebAccount> account{}; // the verified login's account; none without accounts
    std::string body{};                  // up to kMaxBodyBytes
    // The headers an action is checked by, empty when absent: the body's media type, the
    // page's origin that sent it, the host the client asked for and the scheme a TLS proxy
    // in front took the request with (X-Forwarded-Proto).
    std::string contentType{};
    std::string origin{};
    std::string host{};
    std::string forwardedProto{};
};

// The answer, independent of the HTTP layer that sends it.
struct WebResponse {
    int status = 200;
    std::string contentType;
    std::string body;           // the bytes sent, one byte per character for text
    std::filesystem::path file; // when set, the document whose bytes are the body instead
    bool headersOnly = false;   // HEAD of a document: its type and length, no body
    std::string realm;          // when set, a Basic authentication challenge of that realm
    SharedBmp picture;          // when set, the bytes of the body instead, shared by its readers
    bool operator==(const WebResponse&) const = default;
};

inline constexpr std::string_view kRealm = "Login to Halvane";

// The types of what the server writes itself, so that no browser has to guess: pages
// (expanded templates, error pages) go out one byte per character, failure messages, CSV
// and JSON as UTF-8. Documents keep the type of their extension, without a charset.
inline constexpr std::string_view kPageType = "text/html; charset=ISO-8859-1";
inline constexpr std::string_view kMessageType = "text/plain; charset=UTF-8";
inline constexpr std::string_view kCsvType = "text/csv; charset=UTF-8";
inline constexpr std::string_view kJsonType = "application/json; charset=utf-8";

// "<html><head><title>Error</title></head><body>" + reason phrase + "</body></html>".
std::string ErrorPage(std::string_view reasonPhrase);

// Status 500 with `message` as its text; bytes that are not UTF-8 (a request path's) are
// read as Windows-1252, like stored text.
WebResponse FailureMessage(std::string_view message);

// 429 for a client address that failed to log in too often.
WebResponse TooManyLogins();

// Answers one request; safe to call from several threads at once. A template expansion
// under way when `stop` is requested ends, failing the request. "/" stands for
// "/index.html". The rules, in their order:
// 1. "/screen-image-N.bmp" whose N (up to the first ".bmp") is not an integer of the int
//    range fails with 500 and the message, whatever files there are.
// 2. A path that names no document, no template (the page name + ".tpl"), not the history
//    ("/history.csv"), not the alarms ("/api/alarms", "/api/events": only while the station
//    has an alarm service), not the API (IsApiPath), no file of the operator page and no
//    screen number of 0 or more, or that tries to leave the document root, gets 404 before
//    any credentials are asked for.
// 3. With a verdict of the station's accounts (accountLogin), that verdict, else when
//    `Username` in `WebServer` is set, the request's user name and password must equal it
//    and `Password`: 401 when they do not.
// 4. A document wins; else "/history.csv" is the history of tags (HistoryCsvResponse);
//    else a screen number of 0 or more is that screen's picture (a template of the same
//    name does not count) and 404 beyond the list, so that only those who may see the
//    screens can count them; else the template, expanded; else "/api/alarms" is the alarm
//    list (AlarmListResponse) and "/api/events" the journal (JournalCsvResponse); else a path
//    of the API for browsers (IsApiPath) is answered by ApiResponse; else a file of the
//    operator page (HmiFileAt; "/hmi" and "/hmi/" stand for "/hmi/index.html"). A marker
//    index that is not an integer fails with 500 and the message.
WebResponse HandleWebRequest(const WebRequest& request, const WebContext& context,
                             std::stop_token stop = {});

// What is left of a request once the files and the settings have been looked at: work that
// may take long.
struct WebWork {
    enum class Kind { Template, History, Picture, Alarms, Events, Api };
    Kind kind = Kind::Template;
    std::filesystem::path templatePath; // of a template
    int screen = -1;                    // of a picture
};

// HandleWebRequest in two steps, so that a server can answer at once what needs no more
// than the files and the settings (a document, a refusal) and hand the rest to threads
// that may take their time: Begin gives the answer or the work left, Finish does the work.
std::variant<WebResponse, WebWork> BeginWebRequest(const WebRequest& request,
                                                   const WebContext& context);
WebResponse FinishWebRequest(const WebWork& work, const WebRequest& request,
                             const WebContext& context, std::stop_token stop = {});

} // namespace halvane
