#include "HistoryReader.h"

#include "CLog.h"
#include "NumberFormat.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <numeric>

namespace halvane {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
constexpr size_t kChunkBytes = 256 << 10;
constexpr size_t kLongestLine = 4 << 20;
constexpr std::string_view kHeaderWord = "Timestamp";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF"; // spreadsheets write one

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A value field: "." or "," as decimal point, blanks around; anything else, and an
// infinite value (what a float register may hold), is no value.
double ParseValue(std::string_view field) {
    field = TrimBlanks(field);
    char buffer[64];
    if (field.empty() || field.size() >= sizeof buffer)
        return kNoValue;
    std::replace_copy(field.begin(), field.end(), buffer, ',', '.');
    const char* end = buffer + field.size();
    const char* start = buffer + (buffer[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [stop, error] = std::from_chars(start, end, value);
    return error == std::errc() && stop == end && std::isfinite(value) ? value : kNoValue;
}

// Splits one line into fields: quoted fields lose their quotes and keep a doubled quote
// as one. `onField(index, text)` returns false to stop early.
template <class OnField> void SplitFields(std::string_view line, char separator, OnField onField) {
    std::string unquoted;
    for (size_t index = 0, at = 0; at <= line.size(); ++index) {
        std::string_view field;
        if (at < line.size() && line[at] == '"') {
            unquoted.clear();
            size_t i = at + 1;
            for (; i < line.size(); ++i) {
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"')
                    unquoted += line[i++];
                else if (line[i] == '"')
                    break;
                else
                    unquoted += line[i];
            }
            field = unquoted;
            at = std::min(line.find(separator, i), line.size());
        } else {
            const size_t end = std::min(line.find(separator, at), line.size());
            field = line.substr(at, end - at);
            at = end;
        }
        if (!onField(index, field))
            return;
        ++at;
    }
}

std::string_view NamePart(std::string_view column) {
    const size_t bracket = column.rfind('[');
    return bracket == std::string_view::npos ? column : column.substr(0, bracket);
}

// Rows of the table as the lines come: every line, or each bucket's extremes.
class Downsampler final {
public:
    Downsampler(HistoryTable& table, const HistoryQuery& query)
        : m_table(table), m_query(query), m_columns(query.columns.size()) {
        const LocalMsecs span = query.to - query.from + 1;
        const auto buckets = static_cast<LocalMsecs>(query.buckets);
        m_bucketWidth = buckets > 0 ? std::max<LocalMsecs>((span + buckets - 1) / buckets, 1) : 0;
        m_gap = std::max(query.gap, m_bucketWidth);
        m_table.values.assign(m_columns.size(), {});
    }

    void Add(LocalMsecs at, const std::vector<double>& values) {
        if (m_lines > 0 && at - m_lastAt > m_gap) {
            Flush();
            Row((m_lastAt + at) / 2, [](size_t) { return kNoValue; });
        }
        const LocalMsecs bucket = m_bucketWidth > 0 ? (at - m_query.from) / m_bucketWidth : -1;
        if (m_lines > 0 && (bucket != m_bucket || bucket < 0))
            Flush();
        if (m_lines == 0) {
            m_bucket = bucket;
            m_firstAt = at;
            std::fill(m_columns.begin(), m_columns.end(), Extremes{});
        }
        ++m_lines;
        m_lastAt = at;
        for (size_t c = 0; c < values.size(); ++c)
            m_columns[c].Add(at, values[c]);
    }

    // Ends the last bucket and brings rows that came out of order into time order.
    void Finish() {
        Flush();
        if (std::is_sorted(m_table.times.begin(), m_table.times.end()))
            return;
        std::vector<size_t> order(m_table.times.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return m_table.times[a] < m_table.times[b]; });
        const auto permuted = [&](const auto& v) {
            std::remove_cvref_t<decltype(v)> sorted;
            sorted.reserve(v.size());
            for (const size_t i : order)
                sorted.push_back(v[i]);
            return sorted;
        };
        m_table.times = permuted(m_table.times);
        for (auto& column : m_table.values)
            column = permuted(column);
    }

    bool Downsampled() const { return m_downsampled; }

private:
    struct Extremes {
        double min = kNoValue, max = kNoValue;
        LocalMsecs minAt = 0, maxAt = 0;
        size_t count = 0;

        void Add(LocalMsecs at, double value) {
            if (std::isnan(value))
                return;
            if (count++ == 0 || value < min)
                min = value, minAt = at;
            if (count == 1 || value > max)
                max = value, maxAt = at;
        }
    };

    template <class ValueOf> void Row(LocalMsecs at, ValueOf valueOf) {
        m_table.times.push_back(at);
        for (size_t c = 0; c < m_columns.size(); ++c)
            m_table.values[c].push_back(valueOf(c));
    }

    // One line: its values. More: the first and the last line's time, each column's earlier
    // extreme in the first row and its later in the second; a column of one value goes
    // where it is nearer.
    void Flush() {
        if (m_lines == 0)
            return;
        if (m_lines == 1) {
            Row(m_firstAt, [&](size_t c) { return m_columns[c].min; });
        } else {
            m_downsampled = m_downsampled || m_lines > 2;
            const auto first = [&](const Extremes& e) {
                if (e.count == 1)
                    return e.minAt - m_firstAt <= m_lastAt - e.minAt ? e.min : kNoValue;
                return e.minAt <= e.maxAt ? e.min : e.max;
            };
            const auto last = [&](const Extremes& e) {
                if (e.count == 1)
                    return e.minAt - m_firstAt <= m_lastAt - e.minAt ? kNoValue : e.min;
                return e.minAt <= e.maxAt ? e.max : e.min;
            };
            Row(m_firstAt, [&](size_t c) { return first(m_columns[c]); });
            Row(m_lastAt, [&](size_t c) { return last(m_columns[c]); });
        }
        m_lines = 0;
    }

    HistoryTable& m_table;
    const HistoryQuery& m_query;
    std::vector<Extremes> m_columns;
    LocalMsecs m_bucketWidth = 0;
    LocalMsecs m_gap = 0;
    LocalMsecs m_bucket = -1;
    LocalMsecs m_firstAt = 0;
    LocalMsecs m_lastAt = 0;
    size_t m_lines = 0;
    bool m_downsampled = false;
};

// Reads the lines of the day files one after the other; the header in force and the
// separator carry over from one file to the next.
class DayFileScanner final {
public:
    DayFileScanner(const HistoryQuery& query, const QLocale& locale, Downsampler& rows,
                   HistoryReadReport& report, std::stop_token stop)
        : m_query(query), m_parser(locale), m_rows(rows), m_report(report), m_stop(std::move(stop)),
          m_values(query.columns.size(), kNoValue) {}

    void Scan(QDate day, const std::filesystem::path& path) {
        ++m_report.files;
        File file(std::fopen(path.c_str(), "rb"));
        if (!file) {
            m_report.unreadable.push_back(path);
            return;
        }
        m_day = day;
        // Each piece is read behind the part of a line that the last one left.
        std::string buffer;
        while (!m_stop.stop_requested()) {
            const size_t kept = buffer.size();
            buffer.resize(kept + kChunkBytes);
            const size_t n = std::fread(buffer.data() + kept, 1, kChunkBytes, file.get());
            buffer.resize(kept + n);
            if (n == 0)
                break;
            size_t start = 0;
            for (size_t end = buffer.find('\n', kept); end != std::string::npos;
                 end = buffer.find('\n', start)) {
                Line(std::string_view(buffer).substr(start, end - start));
                start = end + 1;
            }
            buffer.erase(0, start);
            // A "line" this long is no line of ours (a file without line ends): drop it
            // rather than hold the whole file.
            if (buffer.size() > kLongestLine) {
                ++m_report.unreadableLines;
                buffer.clear();
            }
        }
        if (std::ferror(file.get()))
            m_report.unreadable.push_back(path);
        if (!TrimBlanks(buffer).empty())
            ++m_report.unreadableLines;
    }

private:
    void Line(std::string_view line) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.starts_with(kByteOrderMark))
            line.remove_prefix(kByteOrderMark.size());
        if (const size_t header = HeaderStart(line); header != std::string_view::npos) {
            Header(line.substr(header));
            return;
        }
        if (TrimBlanks(line).empty())
            return;
        // Before any header nothing tells which column a field belongs to.
        if (m_needed.empty()) {
            ++m_report.unreadableLines;
            return;
        }
        const size_t end = line.find(m_separator);
        std::string_view stamp = line.substr(0, end);
        if (stamp.size() >= 2 && stamp.front() == '"' && stamp.back() == '"')
            stamp = stamp.substr(1, stamp.size() - 2);
        const auto at = m_parser.Parse(TrimBlanks(stamp), m_day);
        if (!at) {
            ++m_report.unreadableLines;
            return;
        }
        if (*at < m_query.from || *at > m_query.to)
            return;
        ++m_report.lines;
        std::fill(m_fieldValues.begin(), m_fieldValues.end(), kNoValue);
        SplitFields(line, m_separator, [&](size_t index, std::string_view field) {
            if (index > m_lastNeeded)
                return false;
            if (m_needed[index])
                m_fieldValues[index] = ParseValue(field);
            return true;
        });
        for (size_t c = 0; c < m_values.size(); ++c)
            m_values[c] = m_columnField[c] >= 0
                              ? m_fieldValues[static_cast<size_t>(m_columnField[c])]
                              : kNoValue;
        m_rows.Add(*at, m_values);
    }

    // Where a header begins: the line's start, or after the cut line of a crash that the
    // next start of the station wrote its header behind.
    static size_t HeaderStart(std::string_view line) {
        if (StartsWithWord(TrimBlanks(line)))
            return line.find_first_not_of(" \t");
        if (line.find('"') == std::string_view::npos)
            return std::string_view::npos;
        return line.find("\"Timestamp\"");
    }

    static bool StartsWithWord(std::string_view line) {
        if (line.starts_with('"'))
            line.remove_prefix(1);
        return line.starts_with(kHeaderWord) &&
               (line.size() == kHeaderWord.size() ||
                !std::isalnum(static_cast<unsigned char>(line[kHeaderWord.size()])));
    }

    // The separator is what follows the first cell; each asked column takes the first field
    // of its name and unit not taken yet, else one of its name under another unit.
    void Header(std::string_view line) {
        const size_t cellEnd = line.starts_with('"')
                                   ? std::min(line.find('"', 1), line.size() - 1) + 1
                                   : kHeaderWord.size();
        if (cellEnd < line.size())
            m_separator = line[cellEnd];
        std::vector<std::string> cells;
        SplitFields(line, m_separator, [&](size_t, std::string_view field) {
            cells.emplace_back(TrimBlanks(field));
            return true;
        });
        m_columnField.assign(m_query.columns.size(), -1);
        std::vector<bool> taken(cells.size(), false);
        const auto assign = [&](auto matches) {
            for (size_t c = 0; c < m_query.columns.size(); ++c) {
                for (size_t f = 1; f < cells.size() && m_columnField[c] < 0; ++f) {
                    if (!taken[f] && matches(cells[f], m_query.columns[c])) {
                        m_columnField[c] = static_cast<int>(f);
                        taken[f] = true;
                    }
                }
            }
        };
        assign([](const std::string& cell, const std::string& column) { return cell == column; });
        assign([](const std::string& cell, const std::string& column) {
            return NamePart(cell) == NamePart(column);
        });
        m_needed.assign(cells.size(), false);
        m_lastNeeded = 0;
        for (const int field : m_columnField) {
            if (field >= 0) {
                m_needed[static_cast<size_t>(field)] = true;
                m_lastNeeded = std::max(m_lastNeeded, static_cast<size_t>(field));
            }
        }
        m_fieldValues.assign(cells.size(), kNoValue);
    }

    const HistoryQuery& m_query;
    HistoryTimestampParser m_parser;
    Downsampler& m_rows;
    HistoryReadReport& m_report;
    std::stop_token m_stop;
    QDate m_day;
    char m_separator = ',';
    std::vector<int> m_columnField; // per asked column: its field, -1 for none
    std::vector<bool> m_needed;     // per field of the header
    size_t m_lastNeeded = 0;
    std::vector<double> m_fieldValues;
    std::vector<double> m_values;
};

} // namespace

HistoryReader::HistoryReader(std::filesystem::path folder, QLocale locale)
    : m_folder(std::move(folder)), m_locale(std::move(locale)) {}

std::vector<std::pair<QDate, std::filesystem::path>> HistoryReader::DayFiles(QDate first,
                                                                             QDate last) const {
    std::vector<std::pair<QDate, std::filesystem::path>> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(m_folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const QDate day = HistoryFileDay(it->path().filename().string());
        if (day.isValid() && day >= first && day <= last)
            files.emplace_back(day, it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

HistoryResult HistoryReader::Read(const HistoryQuery& query, std::stop_token stop) const {
    HistoryResult result;
    result.table.columns = query.columns;
    Downsampler rows(result.table, query);
    if (query.to >= query.from) {
        DayFileScanner scanner(query, m_locale, rows, result.report, stop);
        const QDate first = FromLocalMsecs(query.from).date();
        const QDate last = FromLocalMsecs(query.to).date();
        for (const auto& [day, path] : DayFiles(first, last))
            scanner.Scan(day, path);
    }
    rows.Finish();
    result.report.downsampled = rows.Downsampled();
    return result;
}

} // namespace halvane
