#pragma once

#include <QDate>
#include <QDateTime>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvane {

// Every header line starts with this cell; a data line starts with an unquoted timestamp.
inline constexpr std::string_view kHistoryHeaderStart = "\"Timestamp\"";

// The history folder under the data root.
std::filesystem::path HistoryFolder();
// The day file of `date`: "history\log<yyyymmdd>.csv" under the data root.
std::filesystem::path HistoryFile(QDate date);
// The date of a day file's name ("log<yyyymmdd>.csv"); invalid for any other name.
QDate HistoryFileDay(std::string_view fileName);

// The day files of `folder` (`fileDay` of a name; invalid for files of other names) from
// `first` to `last`, both included, in the order of their days.
std::vector<std::pair<QDate, std::filesystem::path>>
DayFilesBetween(const std::filesystem::path& folder, QDate first, QDate last,
                const std::function<QDate(std::string_view)>& fileDay);

// Removes every file of `folder` whose day (`fileDay` of its name; invalid for files of
// other names) is older than `retentionDays` before `today`: the files of today and of the
// retentionDays days before stay; 0 or less removes nothing. Files that cannot be removed
// stay without a message.
void RemoveOldDayFiles(const std::filesystem::path& folder, QDate today, int retentionDays,
                       const std::function<QDate(std::string_view)>& fileDay);

// The daily history file. One file per local calendar day, kept open between lines and
// switched at the first line after the local date changed. Every line written gets CR LF.
// A file that cannot be opened drops lines, without a message, until the date changes.
//
// Columns are matched by position, so a line goes into a file only under the current
// header: when the file's last header line differs (the tags changed while running, or
// a restart on the same day with other tags), the header is written again first. Only the
// file's last few MiB are searched for that line (a day file may be huge, or hold no line
// end at all); a header further back counts as none, and costs one more header line.
class CLog final {
public:
    // Local wall-clock time.
    using Clock = std::function<QDateTime()>;

    explicit CLog(Clock clock = [] { return QDateTime::currentDateTime(); });
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Keeps `header` (without line end) for every new day file, removes every day file
    // whose whole day is older than `retentionDays` (the files of today and of the
    // retentionDays days before stay; 0 or less removes nothing), and opens today's file,
    // writing the header when it is empty.
    void Init(std::string header, int retentionDays);
    // The header (without line end) for the lines written from now on.
    void SetHeader(std::string header);
    // Appends one line (without line end) to the file of the current local date.
    void Write(std::string_view line);

    QDateTime Now() const { return m_clock(); }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void RemoveOldFiles(int retentionDays) const;
    void Open();
    bool EnsureHeader();
    bool Append(std::string_view line);

    Clock m_clock;
    std::string m_header;
    std::string m_fileHeader; // the last header line in the open file
    QDate m_date;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    bool m_openFailed = false;
};

} // namespace halvane
