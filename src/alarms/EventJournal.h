#pragma once

#include "HistoryReader.h"
#include "JournalFormat.h"
#include "UniqueFd.h"

#include <QDate>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace halvane {

// The station's journal of events: one CSV file per local calendar day ("2026-12-10.csv")
// in a folder, made when missing, each starting with the header line. Several threads may
// append at once; each line goes into its file with a single write(), so that a reader (or
// a crash) never sees half of it beside another line.
class EventJournal final {
public:
    // Told once when the journal cannot be written, with what went wrong; told again only
    // after a line was written in between.
    using FailureReport = std::function<void(const std::string& message)>;

    EventJournal(std::filesystem::path folder, FailureReport report);
    EventJournal(const EventJournal&) = delete;
    EventJournal& operator=(const EventJournal&) = delete;

    // Appends the event to the file of its local date; with `sync` (alarms, writes) the file
    // is on disk when this returns. False when the line could not be written.
    bool Append(const JournalEvent& event, bool sync);
    // Appends the events in their order; with `sync` the file is forced to disk once,
    // after the last. False when a line could not be written (the lines after it are not).
    bool Append(std::span<const JournalEvent> events, bool sync);

    // Removes the day files older than `days` days before `today`; 0 keeps them all.
    void RemoveOlderThan(int days, QDate today) const;

private:
    std::optional<std::string> Write(QDate day, const std::string& line, bool sync);
    std::optional<std::string> Open(QDate day);

    const std::filesystem::path m_folder;
    const FailureReport m_report;
    std::mutex m_mutex;
    UniqueFd m_file; // the day file of m_day, open for appending
    QDate m_day;
    bool m_failureReported = false;
};

// How much one reading may cost; it ends early with what was read until then.
struct JournalReadLimits {
    // 0 reads any number of lines; otherwise reading ends, with HistoryReadEnd::TooManyLines,
    // at an event of the range beyond this many.
    size_t maxLines = 0;
    // Reading ends once this time has come, with HistoryReadEnd::OutOfTime.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

struct JournalReadResult {
    std::vector<JournalEvent> events; // in the order of the files and their lines
    HistoryReadEnd end = HistoryReadEnd::Complete;

    bool Cut() const { return end != HistoryReadEnd::Complete; }
};

// The events of the journal in `folder` whose local time is from `from` to `to` (both
// included), reading only the day files of that range. Damaged lines and a last line cut
// short are left out. A stop requested while reading ends it with what was read.
JournalReadResult ReadJournal(const std::filesystem::path& folder, LocalMsecs from, LocalMsecs to,
                              const JournalReadLimits& limits = {}, std::stop_token stop = {});

} // namespace halvane
