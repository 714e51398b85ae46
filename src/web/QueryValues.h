#pragma once

#include "HistoryTimestamp.h"
#include "WebRequest.h"

#include <map>
#include <string>
#include <string_view>
#include <variant>

namespace halvane {

// The first value of each name of a query ("tags=1,3&from=2026-12-10"), form-decoded: "+"
// is a blank, "%XX" the byte XX.
std::map<std::string, std::string> QueryValues(std::string_view query);

// A query that cannot be answered, and the text that says why.
struct BadQuery {
    std::string text;
};

struct LocalRange {
    LocalMsecs from = 0;
    LocalMsecs to = 0;
};

// The range of `from` and `to`, local times ("yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm" or
// "yyyy-MM-dd"), both included: without `to` it ends now, without `from` it starts an
// hour before its end. A malformed time, or `from` later than `to`, is a BadQuery.
std::variant<LocalRange, BadQuery> QueryRange(const std::map<std::string, std::string>& values);

// A short text answer of the server's own, UTF-8, ended by a line end.
WebResponse TextAnswer(int status, const std::string& text);

} // namespace halvane
