#include "AlarmEndpoint.h"

#include "AlarmJson.h"
#include "AlarmService.h"
#include "NumberFormat.h"
#include "QueryValues.h"

#include <string>

namespace halvane {

namespace {

// A journal line holds ten values: this many lines are as much as the history's most.
constexpr size_t kMostEvents = 100'000;

} // namespace

WebResponse AlarmListResponse(std::string_view query, const AlarmService& alarms) {
    const auto values = QueryValues(query);
    const auto shelved = values.find("shelved");
    if (shelved != values.end() && shelved->second != "0" && shelved->second != "1")
        return TextAnswer(400, "shelved \"" + shelved->second + "\" is not 0 or 1.");
    const bool withShelved = shelved != values.end() && shelved->second == "1";
    std::string body = AlarmListJson(alarms.Alarms(withShelved),
                                     [&alarms](size_t index) { return alarms.TagName(index); });
    return {200, std::string(kJsonType), std::move(body), {}, false, {}, {}};
}

WebResponse JournalCsvResponse(std::string_view query, const AlarmService& alarms,
                               std::stop_token stop, std::chrono::milliseconds readTime) {
    const auto range = QueryRange(QueryValues(query));
    if (const auto* bad = std::get_if<BadQuery>(&range))
        return TextAnswer(400, bad->text);
    std::string body = std::string(kJournalHeader) + "\r\n";
    const auto& folder = alarms.Options().journalFolder;
    if (folder.empty())
        return {200, std::string(kCsvType), std::move(body), {}, false, {}, {}};
    const JournalReadLimits limits{kMostEvents, std::chrono::steady_clock::now() + readTime};
    const auto [from, to] = std::get<LocalRange>(range);
    const JournalReadResult result = ReadJournal(folder, from, to, limits, std::move(stop));
    switch (result.end) {
    case HistoryReadEnd::Complete:
        break;
    case HistoryReadEnd::TooManyLines:
        return TextAnswer(413, "The range holds more than " + std::to_string(kMostEvents) +
                                   " events. Ask for a shorter range.");
    case HistoryReadEnd::OutOfTime:
        return TextAnswer(503,
                          "Reading the journal took longer than " +
                              FormatGeneral(static_cast<double>(readTime.count()) / 1000, '.') +
                              " s. Ask for a shorter range.");
    case HistoryReadEnd::Stopped:
        return TextAnswer(503, "The request was stopped.");
    }
    for (const JournalEvent& event : result.events)
        body += JournalLine(event);
    return {200, std::string(kCsvType), std::move(body), {}, false, {}, {}};
}

} // namespace halvane
