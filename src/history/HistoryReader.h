#pragma once

#include "HistoryTimestamp.h"

#include <QDate>
#include <QLocale>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

namespace halvane {

// What to read: columns by their header names ("Name[Unit]", as the station writes them
// between quotes), from and to (both included) in local time.
struct HistoryQuery {
    std::vector<std::string> columns;
    LocalMsecs from = 0;
    LocalMsecs to = 0;
    // 0 reads every line. Otherwise the range is cut into this many equal buckets and each
    // bucket gives at most two rows, at its first and its last line's time, which carry
    // every column's minimum and maximum in the order they came; a bucket of one or two
    // lines gives exactly its lines.
    size_t buckets = 0;
    // Two lines further apart than this (or than a bucket) leave a row without values
    // between them: the station did not record there.
    LocalMsecs gap = 180'000;
    // With buckets 0: 0 reads any number of lines; otherwise reading ends, with
    // HistoryReadEnd::TooManyLines, at a line of the range beyond this many.
    size_t maxLines = 0;
    // Reading ends once this time has come, with HistoryReadEnd::OutOfTime.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

// Rows in time order; values[c][r] is column c at row r, NaN where there is none (an empty
// field, a column that the day's header did not have, a gap).
struct HistoryTable {
    std::vector<std::string> columns;
    std::vector<LocalMsecs> times;
    std::vector<std::vector<double>> values;

    size_t Rows() const { return times.size(); }
};

// Why reading ended: all of the range was read, or it ended early with what was read until
// then (a stop was requested, the deadline came, the line limit was reached).
enum class HistoryReadEnd { Complete, Stopped, OutOfTime, TooManyLines };

// What reading met on its way.
struct HistoryReadReport {
    HistoryReadEnd end = HistoryReadEnd::Complete;
    size_t files = 0;                              // day files of the range found
    std::vector<std::filesystem::path> unreadable; // found but not readable
    size_t lines = 0;                              // data lines inside the range
    size_t unreadableLines = 0; // lines of no readable timestamp, and last lines cut short
    bool downsampled = false;   // some bucket held more than two lines
};

struct HistoryResult {
    HistoryTable table;
    HistoryReadReport report;
};

// Reads the daily history files ("log<yyyymmdd>.csv") of a folder for a time range, only
// the files of the days in the range, each as a stream. It takes the files as the station
// writes them and as real life leaves them: the separator is the character after the first
// header cell; a header line anywhere (also after the cut line of a crash) maps the columns
// by name for the lines after it, including those of the next days' files; values take "."
// or "," (when that is not the separator) as decimal point; fields may be quoted; missing
// fields, text and lines without a readable timestamp count as no value; a last line without
// its line end is one the station was writing or a crash cut short, and is not read.
class HistoryReader final {
public:
    explicit HistoryReader(std::filesystem::path folder, QLocale locale = QLocale::system());

    // The rows are in time order and bounded as the query says whatever the order of the
    // lines in the files (a spreadsheet may have sorted them by a value). A stop requested
    // while reading ends it after the current piece of a file, with what was read until then.
    HistoryResult Read(const HistoryQuery& query, std::stop_token stop = {}) const;

    // The day files of the folder from `first` to `last`, in date order.
    std::vector<std::pair<QDate, std::filesystem::path>> DayFiles(QDate first, QDate last) const;

private:
    std::filesystem::path m_folder;
    QLocale m_locale;
};

} // namespace halvane
