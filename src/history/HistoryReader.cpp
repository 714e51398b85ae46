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

// A column's least and greatest value with their times.
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

// The lines of one part of the range, in whatever order they came.
class Bucket final {
public:
    void Add(LocalMsecs at, const std::vector<double>& values) {
        if (m_lines++ == 0) {
            m_firstAt = m_lastAt = at;
            m_columns.assign(values.size(), Extremes{});
        }
        m_firstAt = std::min(m_firstAt, at);
        m_lastAt = std::max(m_lastAt, at);
        for (size_t c = 0; c < values.size(); ++c)
            m_columns[c].Add(at, values[c]);
    }

    size_t Lines() const { return m_lines; }

    // None without lines. One line: its values. More: the first and the last line's time,
    // each column's earlier extreme in the first row and its later in the second; a column
    // of one value goes where it is nearer.
    template <class AddRow> void Rows(AddRow addRow) const {
        if (m_lines == 1) {
            addRow(m_firstAt, [&](size_t c) { return m_columns[c].min; });
        } else if (m_lines > 1) {
            const auto nearerFirst = [&](const Extremes& e) {
                return e.minAt - m_firstAt <= m_lastAt - e.minAt;
            };
            addRow(m_firstAt, [&](size_t c) {
                const Extremes& e = m_columns[c];
                if (e.count == 1)
                    return nearerFirst(e) ? e.min : kNoValue;
                return e.minAt <= e.maxAt ? e.min : e.max;
            });
            addRow(m_lastAt, [&](size_t c) {
                const Extremes& e = m_columns[c];
                if (e.count == 1)
                    return nearerFirst(e) ? kNoValue : e.min;
                return e.minAt <= e.maxAt ? e.max : e.min;
            });
        }
    }

private:
    LocalMsecs m_firstAt = 0;
    LocalMsecs m_lastAt = 0;
    size_t m_lines = 0;
    std::vector<Extremes> m_columns;
};

// The rows of the table: every line, or each bucket's extremes. What they hold is bounded
// by the query (its line limit, or its buckets), not by the order the lines come in.
class RowCollector final {
public:
    RowCollector(HistoryTable& table, const HistoryQuery& query)
        : m_table(table), m_query(query), m_columns(query.columns.size()) {
        const LocalMsecs span = query.to - query.from + 1;
        const auto buckets = static_cast<LocalMsecs>(query.buckets);
        m_bucketWidth = buckets > 0 ? std::max<LocalMsecs>((span + buckets - 1) / buckets, 1) : 0;
        m_gap = std::max(query.gap, m_bucketWidth);
        m_buckets.resize(query.buckets);
        m_table.values.assign(m_columns, {});
    }

    // False, taking nothing, when the line is one beyond the query's line limit.
    bool Add(LocalMsecs at, const std::vector<double>& values) {
        if (m_buckets.empty()) {
            if (m_query.maxLines > 0 && m_table.Rows() == m_query.maxLines)
                return false;
            AddRow(at, [&](size_t c) { return values[c]; });
            return true;
        }
        const auto bucket = static_cast<size_t>(std::clamp<LocalMsecs>(
            (at - m_query.from) / m_bucketWidth, 0, static_cast<LocalMsecs>(m_buckets.size()) - 1));
        m_buckets[bucket].Add(at, values);
        return true;
    }

    // The buckets' rows, all rows in time order and the rows that mark gaps between them.
    void Finish() {
        for (const Bucket& bucket : m_buckets) {
            m_downsampled = m_downsampled || bucket.Lines() > 2;
            bucket.Rows([this](LocalMsecs at, auto valueOf) { AddRow(at, valueOf); });
        }
        std::vector<Bucket>().swap(m_buckets);
        SortByTime();
        MarkGaps();
    }

    bool Downsampled() const { return m_downsampled; }

private:
    template <class ValueOf> void AddRow(LocalMsecs at, ValueOf valueOf) {
        m_table.times.push_back(at);
        for (size_t c = 0; c < m_columns; ++c)
            m_table.values[c].push_back(valueOf(c));
    }

    void SortByTime() {
        if (std::is_sorted(m_table.times.begin(), m_table.times.end()))
            return;
        std::vector<size_t> order(m_table.Rows());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return m_table.times[a] < m_table.times[b]; });
        Rebuild(order.size(), [&](size_t row, auto addRow) {
            addRow(m_table.times[order[row]],
                   [&](size_t c) { return m_table.values[c][order[row]]; });
        });
    }

    // Between two rows further apart than the gap, a row without values halfway.
    void MarkGaps() {
        const auto& times = m_table.times;
        const auto gapAfter = [&](size_t row) {
            return row + 1 < times.size() && times[row + 1] - times[row] > m_gap;
        };
        size_t gaps = 0;
        for (size_t row = 0; row < times.size(); ++row)
            gaps += gapAfter(row) ? 1 : 0;
        if (gaps == 0)
            return;
        Rebuild(times.size(), [&](size_t row, auto addRow) {
            addRow(times[row], [&](size_t c) { return m_table.values[c][row]; });
            if (gapAfter(row))
                addRow((times[row] + times[row + 1]) / 2, [](size_t) { return kNoValue; });
        });
    }

    // A new table from `rows` calls of `each(row, addRow)` on the old one.
    template <class Each> void Rebuild(size_t rows, Each each) {
        HistoryTable rebuilt;
        rebuilt.values.assign(m_columns, {});
        const auto addRow = [&](LocalMsecs at, auto valueOf) {
            rebuilt.times.push_back(at);
            for (size_t c = 0; c < m_columns; ++c)
                rebuilt.values[c].push_back(valueOf(c));
        };
        for (size_t row = 0; row < rows; ++row)
            each(row, addRow);
        m_table.times.swap(rebuilt.times);
        m_table.values.swap(rebuilt.values);
    }

    HistoryTable& m_table;
    const HistoryQuery& m_query;
    size_t m_columns;
    LocalMsecs m_bucketWidth = 0;
    LocalMsecs m_gap = 0;
    std::vector<Bucket> m_buckets; // none when every line is a row
    bool m_downsampled = false;
};

// Reads the lines of the day files one after the other; the header in force and the
// separator carry over from one file to the next.
class DayFileScanner final {
public:
    DayFileScanner(const HistoryQuery& query, const QLocale& locale, RowCollector& rows,
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
        while (GoesOn()) {
            const size_t kept = buffer.size();
            buffer.resize(kept + kChunkBytes);
            const size_t n = std::fread(buffer.data() + kept, 1, kChunkBytes, file.get());
            buffer.resize(kept + n);
            if (n == 0)
                break;
            size_t start = 0;
            for (size_t end = buffer.find('\n', kept); end != std::string::npos && !Ended();
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
        if (!Ended() && !TrimBlanks(buffer).empty())
            ++m_report.unreadableLines;
    }

    bool Ended() const { return m_report.end != HistoryReadEnd::Complete; }

private:
    // False once reading has to end: the stop was requested, or the deadline has come.
    bool GoesOn() {
        if (!Ended() && m_stop.stop_requested())
            m_report.end = HistoryReadEnd::Stopped;
        else if (!Ended() && std::chrono::steady_clock::now() >= m_query.deadline)
            m_report.end = HistoryReadEnd::OutOfTime;
        return !Ended();
    }

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
        if (!m_rows.Add(*at, m_values)) {
            m_report.end = HistoryReadEnd::TooManyLines;
            return;
        }
        ++m_report.lines;
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
    RowCollector& m_rows;
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
    return DayFilesBetween(m_folder, first, last, HistoryFileDay);
}

HistoryResult HistoryReader::Read(const HistoryQuery& query, std::stop_token stop) const {
    HistoryResult result;
    result.table.columns = query.columns;
    RowCollector rows(result.table, query);
    if (query.to >= query.from) {
        DayFileScanner scanner(query, m_locale, rows, result.report, stop);
        const QDate first = FromLocalMsecs(query.from).date();
        const QDate last = FromLocalMsecs(query.to).date();
        for (const auto& [day, path] : DayFiles(first, last)) {
            if (scanner.Ended())
                break;
            scanner.Scan(day, path);
        }
    }
    rows.Finish();
    result.report.downsampled = rows.Downsampled();
    return result;
}

} // namespace halvane
