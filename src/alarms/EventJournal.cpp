#include "EventJournal.h"

#include "CLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>
#include <utility>

namespace halvane {

namespace {

// How often reading looks at the clock and for a stop request, in lines.
constexpr size_t kLinesBetweenChecks = 256;

std::string Failure(const std::filesystem::path& path, const std::string& reason) {
    return "Cannot write the event journal " + path.string() + ": " + reason + ".";
}

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

// The whole text in one write(): readers of the file see all of it or nothing.
std::optional<std::string> WriteOnce(int fd, std::string_view text) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0)
        return ErrnoText();
    if (static_cast<size_t>(written) != text.size())
        return "only " + std::to_string(written) + " of " + std::to_string(text.size()) +
               " bytes written (disk full?)";
    return std::nullopt;
}

// Whether the first `size` bytes of the file end inside a quoted field: an odd count of
// quotes, as every quote of a CSV file opens, closes or doubles one.
bool EndsInsideQuotes(int fd, off_t size) {
    char piece[64 << 10];
    size_t quotes = 0;
    for (off_t at = 0; at < size;) {
        const ssize_t count = ::pread(fd, piece, sizeof piece, at);
        if (count <= 0)
            break;
        quotes += static_cast<size_t>(std::count(piece, piece + count, '"'));
        at += count;
    }
    return quotes % 2 == 1;
}

// What starts a day file before its next line: the header in a new file. After a line that
// a crash or a full disk cut short: what ends that line (its quotes closed) with more fields
// than an event has, so that it reads as damaged, not as an event with a shortened text, and
// the next line stands on its own.
std::string FileStart(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size == 0)
        return std::string(kJournalHeader) + "\r\n";
    char last = '\n';
    if (::pread(fd, &last, 1, status.st_size - 1) != 1 || last == '\n')
        return {};
    return (EndsInsideQuotes(fd, status.st_size) ? "\"" : "") + std::string(kJournalFields, ',') +
           "\r\n";
}

// A new file's name is on disk only once its folder is.
void SyncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

} // namespace

EventJournal::EventJournal(std::filesystem::path folder, FailureReport report)
    : m_folder(std::move(folder)), m_report(std::move(report)) {}

bool EventJournal::Append(const JournalEvent& event, bool sync) {
    return Append(std::span(&event, 1), sync);
}

bool EventJournal::Append(std::span<const JournalEvent> events, bool sync) {
    std::optional<std::string> failure;
    {
        const std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < events.size() && !failure; ++i)
            failure = Write(JournalLocalDate(events[i].time), JournalLine(events[i]),
                            sync && i + 1 == events.size());
        const bool alreadyReported = std::exchange(m_failureReported, failure.has_value());
        if (!failure)
            return true;
        if (alreadyReported)
            return false;
    }
    // Outside the lock: the report may well append to the journal itself.
    m_report(*failure);
    return false;
}

void EventJournal::RemoveOlderThan(int days, QDate today) const {
    RemoveOldDayFiles(m_folder, today, days, JournalFileDay);
}

// After a failure the file is opened again for the next line, which repairs a cut line.
std::optional<std::string> EventJournal::Write(QDate day, const std::string& line, bool sync) {
    if (!m_file.Valid() || day != m_day) {
        m_file.Reset();
        if (auto failure = Open(day))
            return failure;
    }
    const std::filesystem::path path = m_folder / JournalFileName(day);
    if (auto failure = WriteOnce(m_file.Get(), line)) {
        m_file.Reset();
        return Failure(path, *failure);
    }
    if (sync && ::fsync(m_file.Get()) != 0) {
        const std::string reason = ErrnoText();
        m_file.Reset();
        return Failure(path, reason);
    }
    return std::nullopt;
}

std::optional<std::string> EventJournal::Open(QDate day) {
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec)
        return Failure(m_folder, ec.message());
    const std::filesystem::path path = m_folder / JournalFileName(day);
    UniqueFd file(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!file.Valid())
        return Failure(path, ErrnoText());
    const std::string start = FileStart(file.Get());
    if (!start.empty()) {
        if (auto failure = WriteOnce(file.Get(), start))
            return Failure(path, *failure);
        if (start.starts_with(kJournalHeader))
            SyncFolder(m_folder);
    }
    m_file = std::move(file);
    m_day = day;
    return std::nullopt;
}

JournalReadResult ReadJournal(const std::filesystem::path& folder, LocalMsecs from, LocalMsecs to,
                              const JournalReadLimits& limits, std::stop_token stop) {
    JournalReadResult result;
    if (from > to)
        return result;
    std::vector<std::string> fields;
    size_t lines = 0;
    for (const auto& [day, path] : DayFilesBetween(folder, FromLocalMsecs(from).date(),
                                                   FromLocalMsecs(to).date(), JournalFileDay)) {
        std::ifstream in(path, std::ios::binary);
        CsvRecordReader reader(in);
        while (reader.Next(fields)) {
            if (lines++ % kLinesBetweenChecks == 0) {
                if (stop.stop_requested())
                    result.end = HistoryReadEnd::Stopped;
                else if (std::chrono::steady_clock::now() >= limits.deadline)
                    result.end = HistoryReadEnd::OutOfTime;
                if (result.Cut())
                    return result;
            }
            auto event = ParseJournalFields(fields);
            if (!event)
                continue;
            const LocalMsecs local = ParseJournalTime(fields[0])->local;
            if (local < from || local > to)
                continue;
            if (limits.maxLines != 0 && result.events.size() == limits.maxLines) {
                result.end = HistoryReadEnd::TooManyLines;
                return result;
            }
            result.events.push_back(std::move(*event));
        }
    }
    return result;
}

} // namespace halvane
