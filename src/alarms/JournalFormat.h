#pragma once

#include "HistoryTimestamp.h"

#include <QDate>

#include <chrono>
#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

// One line of the event journal.
struct JournalEvent {
    std::chrono::system_clock::time_point time;
    std::string event;      // "raised", "acknowledged", "write", ...
    std::optional<int> tag; // the tag number as users see it, from 1
    std::string name;
    std::optional<int> priority;
    std::optional<double> value;
    std::optional<double> limit;
    std::string user;
    std::string source;
    std::string text;

    bool operator==(const JournalEvent&) const = default;
};

// An event of no tag happening now: a station event, a login, an account change.
JournalEvent EventNow(std::string_view event, std::string_view source, std::string_view user = {},
                      std::string_view text = {});

inline constexpr std::string_view kJournalHeader =
    "Time,Event,Tag,Name,Priority,Value,Limit,User,Source,Text";
inline constexpr size_t kJournalFields = 10;

// ISO 8601 local time with milliseconds and the local offset: "2026-12-10T20:05:01.123+01:00".
std::string JournalTimeText(std::chrono::system_clock::time_point at);

// A journal time read back: the instant, and the local wall-clock time it was written in.
struct JournalTime {
    std::chrono::system_clock::time_point at;
    LocalMsecs local = 0;
};
// Exactly the form JournalTimeText writes; nothing for any other text.
std::optional<JournalTime> ParseJournalTime(std::string_view text);

// The event's fields separated by ",", text fields quoted when they must be, ended by CR LF.
std::string JournalLine(const JournalEvent& event);
// The event of a journal line's fields; nothing for the header or a damaged line.
std::optional<JournalEvent> ParseJournalFields(const std::vector<std::string>& fields);

// The local calendar date of `at`, which chooses its day file.
QDate JournalLocalDate(std::chrono::system_clock::time_point at);
// "2026-12-10.csv".
std::string JournalFileName(QDate day);
// The date of a day file's name; invalid for any other name.
QDate JournalFileDay(std::string_view fileName);

// Reads CSV records one by one: fields separated by ",", quoted fields holding ",", doubled
// quotes and line ends, records ended by LF or CR LF. A last record without its line end
// (one being written, or cut by a crash) is not read.
class CsvRecordReader final {
public:
    explicit CsvRecordReader(std::istream& in) : m_in(*in.rdbuf()) {}

    // False at the end.
    bool Next(std::vector<std::string>& fields);

private:
    std::streambuf& m_in;
};

} // namespace halvane
