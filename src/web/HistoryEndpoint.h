#pragma once

#include "WebContext.h"
#include "WebRequest.h"
#include "WebServerLimits.h"

#include <chrono>
#include <stop_token>
#include <string_view>

namespace halvane {

inline constexpr std::string_view kHistoryPath = "/history.csv";

// The answer to "/history.csv?tags=1,3&from=2026-12-10T08:00:00&to=2026-12-10T12:00:00"
// once the request may see it: the history of those tags (numbers as users see them, from 1)
// as CSV (HistoryCsvText), the header cells the tags' "Name[Unit]". `from` and `to` are local
// times ("yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm" or "yyyy-MM-dd"); without `to` the range
// ends now, without `from` it starts an hour before its end. Every line of the range comes
// back as it is, up to a million values (tags times lines; 413 with a word on `points`
// beyond). `points` (2 to 10000) thins the answer: the range is cut into that many equal
// parts, each giving its minimum and maximum (two rows) instead of its lines. A query that
// cannot be answered gets 400 and a text that says why; a range without lines gets the
// header alone. Reading ends, with 503, once `readTime` has passed or `stop` is requested.
WebResponse HistoryCsvResponse(std::string_view query, const WebContext& context,
                               std::stop_token stop = {},
                               std::chrono::milliseconds readTime = kHistoryReadTime);

} // namespace halvane
