#include "QueryValues.h"

#include "HttpRequestHead.h"
#include "StoredText.h"

#include <QDateTime>

#include <algorithm>
#include <optional>

namespace halvane {

namespace {

constexpr LocalMsecs kDefaultSpan = 3'600'000;
constexpr std::string_view kTimeExample = "a local time such as 2026-12-10T08:00:00";

std::string FormDecoded(std::string_view text) {
    std::string blanks(text);
    std::replace(blanks.begin(), blanks.end(), '+', ' ');
    return PercentDecoded(blanks);
}

std::variant<std::optional<LocalMsecs>, BadQuery>
TimeValue(const std::map<std::string, std::string>& values, const std::string& name) {
    const auto value = values.find(name);
    if (value == values.end())
        return std::optional<LocalMsecs>();
    if (const auto at = ParseIsoLocal(value->second))
        return at;
    return BadQuery{"Malformed " + name + " \"" + value->second + "\": use " +
                    std::string(kTimeExample) + "."};
}

} // namespace

std::map<std::string, std::string> QueryValues(std::string_view query) {
    std::map<std::string, std::string> values;
    while (!query.empty()) {
        const size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        const size_t equals = std::min(pair.find('='), pair.size());
        values.emplace(FormDecoded(pair.substr(0, equals)),
                       FormDecoded(pair.substr(std::min(equals + 1, pair.size()))));
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return values;
}

std::variant<LocalRange, BadQuery> QueryRange(const std::map<std::string, std::string>& values) {
    auto from = TimeValue(values, "from");
    if (auto* bad = std::get_if<BadQuery>(&from))
        return *bad;
    auto to = TimeValue(values, "to");
    if (auto* bad = std::get_if<BadQuery>(&to))
        return *bad;
    LocalRange range;
    range.to = std::get<0>(to).value_or(ToLocalMsecs(QDateTime::currentDateTime()));
    range.from = std::get<0>(from).value_or(range.to - kDefaultSpan);
    if (range.from > range.to)
        return BadQuery{"The range is empty: from must not be later than to."};
    return range;
}

WebResponse TextAnswer(int status, const std::string& text) {
    return {status, std::string(kMessageType), StoredTextToUtf8(text) + "\n", {}, false, {}, {}};
}

} // namespace halvane
