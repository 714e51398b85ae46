#pragma once

#include <QDate>
#include <QDateTime>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace halvane {

// The history folder under the data root.
std::filesystem::path HistoryFolder();
// The day file of `date`: "history\log<yyyymmdd>.csv" under the data root.
std::filesystem::path HistoryFile(QDate date);

// The daily history file. One file per local calendar day, kept open between lines and
// switched at the first line after the local date changed. Every line written gets CR LF.
// A file that cannot be opened drops lines, without a message, until the date changes.
class CLog final {
public:
    // Local wall-clock time.
    using Clock = std::function<QDateTime()>;

    explicit CLog(Clock clock = [] { return QDateTime::currentDateTime(); });
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Keeps `header` (without line end) for every new day file, removes the 20 day files
    // from retentionDays + 19 days ago up to retentionDays ago, and opens today's file,
    // writing the header when it is empty.
    void Init(std::string header, int retentionDays);
    // Appends one line (without line end) to the file of the current local date.
    void Write(std::string_view line);

    QDateTime Now() const { return m_clock(); }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void RemoveOldFiles(int retentionDays) const;
    void Open();
    void Append(std::string_view line);

    Clock m_clock;
    std::string m_header;
    QDate m_date;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    bool m_openFailed = false;
};

} // namespace halvane
