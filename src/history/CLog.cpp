#include "CLog.h"

#include "DataRoot.h"

#include <cstdio>
#include <system_error>

namespace halvane {

namespace {

// Old day files are looked for in a window of this many days.
constexpr int kRemovedDays = 20;

} // namespace

std::filesystem::path HistoryFolder() {
    return ResolveDataPath("history");
}

std::filesystem::path HistoryFile(QDate date) {
    char name[32];
    std::snprintf(name, sizeof name, "history\\log%04d%02d%02d.csv", date.year(), date.month(),
                  date.day());
    return ResolveDataPath(name);
}

CLog::CLog(Clock clock) : m_clock(std::move(clock)) {}

void CLog::Init(std::string header, int retentionDays) {
    m_header = std::move(header);
    m_date = m_clock().date();
    m_file.reset();
    RemoveOldFiles(retentionDays);
    Open();
}

void CLog::Write(std::string_view line) {
    const QDate today = m_clock().date();
    if (today != m_date) {
        m_file.reset();
        m_openFailed = false;
        m_date = today;
    }
    if (!m_file && !m_openFailed)
        Open();
    if (m_file)
        Append(line);
}

void CLog::RemoveOldFiles(int retentionDays) const {
    const QDate newest = m_date.addDays(-retentionDays);
    for (int i = 0; i < kRemovedDays; ++i) {
        std::error_code ignored;
        std::filesystem::remove(HistoryFile(newest.addDays(-i)), ignored);
    }
}

// Without its folder history would never be written: the folder is made when missing.
void CLog::Open() {
    std::error_code ignored;
    std::filesystem::create_directories(HistoryFolder(), ignored);
    m_file.reset(std::fopen(HistoryFile(m_date).c_str(), "ab"));
    m_openFailed = !m_file;
    if (!m_file || m_header.empty())
        return;
    if (std::fseek(m_file.get(), 0, SEEK_END) == 0 && std::ftell(m_file.get()) == 0)
        Append(m_header);
}

// One write per line, flushed at once, so that readers of the file see whole lines.
// Write errors are ignored: the next line tries again.
void CLog::Append(std::string_view line) {
    std::string text(line);
    text += "\r\n";
    std::fwrite(text.data(), 1, text.size(), m_file.get());
    std::fflush(m_file.get());
}

} // namespace halvane
