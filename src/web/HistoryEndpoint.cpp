#include "HistoryEndpoint.h"

#include "HistoryExport.h"
#include "HistoryLines.h"
#include "HistoryReader.h"
#include "HistoryTicker.h"
#include "NumberFormat.h"
#include "QueryValues.h"
#include "StoredText.h"
#include "TagTable.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <variant>

namespace halvane {

namespace {

constexpr size_t kMostPoints = 10'000;
// The most values of one answer: tags times lines, or tags times points.
constexpr size_t kMostCells = 1'000'000;

WebResponse Refusal(const BadQuery& bad) {
    return TextAnswer(400, bad.text);
}

std::optional<size_t> WholeNumber(std::string_view text) {
    size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::variant<std::vector<TDataChannel>, BadQuery>
ChosenTags(const std::map<std::string, std::string>& values, const TagTable& table) {
    const auto tags = values.find("tags");
    if (tags == values.end() || tags->second.empty())
        return BadQuery{"Missing tags: ask for tags=1,3 (tag numbers from 1)."};
    // Only the tags asked for are copied, not the whole table at every request.
    const size_t count = table.Size();
    std::vector<TDataChannel> chosen;
    std::vector<bool> asked(count, false);
    std::string_view list = tags->second;
    while (true) {
        const size_t end = std::min(list.find(','), list.size());
        const std::string_view item = list.substr(0, end);
        const auto number = WholeNumber(item);
        if (!number || *number < 1 || *number > count)
            return BadQuery{"Tag number \"" + std::string(item) +
                            "\" is not a whole number from 1 to " + std::to_string(count) + "."};
        // Each tag once: a list of repeats would only cost memory and time.
        if (asked[*number - 1])
            return BadQuery{"Tag number " + std::to_string(*number) + " is asked for twice."};
        asked[*number - 1] = true;
        chosen.push_back(table.Snapshot(*number - 1));
        if (end == list.size())
            return chosen;
        list.remove_prefix(end + 1);
    }
}

std::variant<HistoryQuery, BadQuery> ParseQuery(std::string_view text, const TagTable& table,
                                                std::vector<std::string>& headerCells) {
    const auto values = QueryValues(text);
    auto tags = ChosenTags(values, table);
    if (auto* bad = std::get_if<BadQuery>(&tags))
        return *bad;
    const auto range = QueryRange(values);
    if (auto* bad = std::get_if<BadQuery>(&range))
        return *bad;
    HistoryQuery query;
    query.from = std::get<LocalRange>(range).from;
    query.to = std::get<LocalRange>(range).to;
    if (const auto points = values.find("points"); points != values.end()) {
        const auto number = WholeNumber(points->second);
        if (!number || *number < 2 || *number > kMostPoints)
            return BadQuery{"points \"" + points->second + "\" is not a whole number from 2 to " +
                            std::to_string(kMostPoints) + "."};
        query.buckets = *number;
    }
    const size_t columns = std::get<0>(tags).size();
    // Every line of the range, up to the bound; points: up to two rows of each per point.
    query.maxLines = kMostCells / columns;
    if (columns * query.buckets > kMostCells)
        return BadQuery{"Too much at once: tags times points must not exceed " +
                        std::to_string(kMostCells) + "; ask for fewer tags or points."};
    for (const TDataChannel& tag : std::get<0>(tags)) {
        query.columns.push_back(HistoryColumnName(tag));
        headerCells.push_back(StoredTextToUtf8(query.columns.back()));
    }
    return query;
}

} // namespace

WebResponse HistoryCsvResponse(std::string_view query, const WebContext& context,
                               std::stop_token stop, std::chrono::milliseconds readTime) {
    std::vector<std::string> headerCells;
    auto parsed = ParseQuery(query, context.tags, headerCells);
    if (auto* bad = std::get_if<BadQuery>(&parsed))
        return Refusal(*bad);
    HistoryQuery& historyQuery = std::get<HistoryQuery>(parsed);
    historyQuery.gap = HistoryGap(context.store);
    historyQuery.deadline = std::chrono::steady_clock::now() + readTime;
    const HistoryResult result = HistoryReader(HistoryFolder()).Read(historyQuery, std::move(stop));
    switch (result.report.end) {
    case HistoryReadEnd::Complete:
        break;
    case HistoryReadEnd::TooManyLines:
        return TextAnswer(413,
                          "The range holds more than " + std::to_string(historyQuery.maxLines) +
                              " lines of these tags. Ask for points=1000 to have each of 1000 "
                              "parts' least and greatest values, or for fewer tags or a shorter "
                              "range.");
    case HistoryReadEnd::OutOfTime:
        return TextAnswer(503,
                          "Reading the history took longer than " +
                              FormatGeneral(static_cast<double>(readTime.count()) / 1000, '.') +
                              " s. Ask for a shorter range.");
    case HistoryReadEnd::Stopped:
        return TextAnswer(503, "The request was stopped.");
    }
    return {200, std::string(kCsvType), HistoryCsvText(result.table, headerCells), {}, false, {},
            {}};
}

} // namespace halvane
