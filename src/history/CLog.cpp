#include "CLog.h"

#include "DataRoot.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>

namespace halvane {

namespace {

// How far from its end a day file is searched for its last header, and the piece read at
// once: a file of any size, or without line ends, costs this much at most.
constexpr std::streamoff kHeaderSearchBytes = 4 << 20;
constexpr std::streamoff kSearchPiece = 64 << 10;

std::string ReadAt(std::ifstream& in, std::streamoff at, std::streamoff count) {
    std::string bytes(static_cast<size_t>(count), '\0');
    in.seekg(at);
    in.read(bytes.data(), count);
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    in.clear();
    return bytes;
}

// Where the last line of `in` (of `size` bytes) that starts a header begins, looking at
// its last kHeaderSearchBytes only, piece by piece from its end.
std::optional<std::streamoff> LastHeaderStart(std::ifstream& in, std::streamoff size) {
    const std::string lineStart = "\n" + std::string(kHistoryHeaderStart);
    const auto overlap = static_cast<std::streamoff>(lineStart.size()) - 1;
    const std::streamoff floor = std::max<std::streamoff>(0, size - kHeaderSearchBytes);
    for (std::streamoff end = size; end > floor;) {
        const std::streamoff start = std::max(floor, end - kSearchPiece);
        // Pieces overlap, so that a line start across two of them is seen.
        const std::string piece = ReadAt(in, start, std::min(size, end + overlap) - start);
        if (const size_t found = piece.rfind(lineStart); found != std::string::npos)
            return start + static_cast<std::streamoff>(found) + 1;
        end = start;
    }
    if (floor == 0 && ReadAt(in, 0, overlap) == kHistoryHeaderStart)
        return 0;
    return std::nullopt;
}

// The last header line of `file` near its end, without its line end; empty when there is
// none there.
std::string LastHeaderLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    const auto start = in ? LastHeaderStart(in, size) : std::nullopt;
    if (!start)
        return {};
    in.seekg(*start);
    std::string header;
    std::getline(in, header);
    if (header.ends_with('\r'))
        header.pop_back();
    return header;
}

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

QDate HistoryFileDay(std::string_view fileName) {
    constexpr std::string_view kPrefix = "log";
    constexpr std::string_view kSuffix = ".csv";
    constexpr size_t kDigits = 8;
    if (fileName.size() != kPrefix.size() + kDigits + kSuffix.size() ||
        !fileName.starts_with(kPrefix) || !fileName.ends_with(kSuffix))
        return {};
    const std::string_view digits = fileName.substr(kPrefix.size(), kDigits);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return QDate::fromString(QString::fromLatin1(digits.data(), static_cast<qsizetype>(kDigits)),
                             QStringLiteral("yyyyMMdd"));
}

std::vector<std::pair<QDate, std::filesystem::path>>
DayFilesBetween(const std::filesystem::path& folder, QDate first, QDate last,
                const std::function<QDate(std::string_view)>& fileDay) {
    std::vector<std::pair<QDate, std::filesystem::path>> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const QDate day = fileDay(it->path().filename().string());
        if (day.isValid() && day >= first && day <= last)
            files.emplace_back(day, it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void RemoveOldDayFiles(const std::filesystem::path& folder, QDate today, int retentionDays,
                       const std::function<QDate(std::string_view)>& fileDay) {
    if (retentionDays <= 0)
        return;
    const QDate newestRemoved = today.addDays(-retentionDays - 1);
    for (const auto& [day, path] :
         DayFilesBetween(folder, QDate(1, 1, 1), newestRemoved, fileDay)) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

CLog::CLog(Clock clock) : m_clock(std::move(clock)) {}

void CLog::Init(std::string header, int retentionDays) {
    m_header = std::move(header);
    m_date = m_clock().date();
    m_file.reset();
    RemoveOldFiles(retentionDays);
    Open();
}

void CLog::SetHeader(std::string header) {
    m_header = std::move(header);
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
    if (m_file && EnsureHeader())
        Append(line);
}

void CLog::RemoveOldFiles(int retentionDays) const {
    RemoveOldDayFiles(HistoryFolder(), m_date, retentionDays, HistoryFileDay);
}

// Without its folder history would never be written: the folder is made when missing.
void CLog::Open() {
    std::error_code ignored;
    std::filesystem::create_directories(HistoryFolder(), ignored);
    const std::filesystem::path file = HistoryFile(m_date);
    m_file.reset(std::fopen(file.c_str(), "ab"));
    m_openFailed = !m_file;
    if (!m_file)
        return;
    const bool empty = std::fseek(m_file.get(), 0, SEEK_END) == 0 && std::ftell(m_file.get()) == 0;
    m_fileHeader = empty ? std::string() : LastHeaderLine(file);
    if (empty)
        EnsureHeader();
}

// Writes the current header unless it is the file's last one already; false when that
// write failed, so that no line goes in under an old header.
bool CLog::EnsureHeader() {
    if (m_header.empty() || m_fileHeader == m_header)
        return true;
    if (!Append(m_header))
        return false;
    m_fileHeader = m_header;
    return true;
}

// One write per line, flushed at once, so that readers of the file see whole lines.
// Write errors are not reported: the next line tries again.
bool CLog::Append(std::string_view line) {
    std::string text(line);
    text += "\r\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), m_file.get()) == text.size();
    return std::fflush(m_file.get()) == 0 && written;
}

} // namespace halvane
