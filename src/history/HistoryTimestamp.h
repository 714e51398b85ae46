#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace halvane {

// Local wall-clock time as milliseconds since 1970-01-01 00:00 of the same wall clock: no
// time zone, so that the times of the history files, of requests and of exports compare
// and print without conversion.
using LocalMsecs = int64_t;

inline constexpr LocalMsecs kMsecsPerDay = 86'400'000;

LocalMsecs ToLocalMsecs(const QDateTime& at);
LocalMsecs ToLocalMsecs(QDate date, int hour = 0, int minute = 0, int second = 0, int msec = 0);
// The wall-clock date and time of `at`, in the local time zone.
QDateTime FromLocalMsecs(LocalMsecs at);
// "2026-12-10T08:00:00" (milliseconds only when not zero: ".250").
std::string IsoLocalText(LocalMsecs at);
// "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm" or "yyyy-MM-dd" (a blank may stand for the
// "T"); nothing for any other text or a date or time that does not exist.
std::optional<LocalMsecs> ParseIsoLocal(std::string_view text);

// Reads the timestamps of history lines: the locale's short date, a blank and its long time
// without the time zone, or the date alone at midnight, as the station writes them, and
// what a spreadsheet makes of them: one or two digits for day, month, hour, minute and
// second, two or four for the year, no seconds, ISO 8601. A two-digit year takes the
// century of the file's day. Month names and AM/PM are the locale's (or English). A date
// more than a day away from the file's day (a spreadsheet that swapped day and month) gives
// way to the file's day. One parser serves one reading thread.
class HistoryTimestampParser final {
public:
    explicit HistoryTimestampParser(const QLocale& locale = QLocale::system());

    std::optional<LocalMsecs> Parse(std::string_view text, QDate fileDay);

private:
    enum class Field {
        Literal,
        Blank,
        Day,
        Month,
        MonthName,
        DayName,
        Year,
        Hour,
        Minute,
        Second,
        Msec,
        AmPm
    };
    struct Token {
        Field field;
        std::string literal; // for Literal
    };
    struct Parsed {
        int year = -1, month = -1, day = -1, hour = 0, minute = 0, second = 0, msec = 0;
        int amPm = -1; // 0 AM, 1 PM
    };
    using Format = std::vector<Token>;

    static Format Compile(const QString& qtFormat);
    bool Match(const Format& format, std::string_view text, Parsed& parsed) const;
    bool MatchName(std::string_view& text, const std::vector<std::string>& names, int& index) const;
    static std::optional<LocalMsecs> Combine(const Parsed& parsed, QDate fileDay);

    std::vector<Format> m_formats; // tried from the one that fitted last
    size_t m_lastFitting = 0;
    std::vector<std::string> m_monthNames; // 12 per set: the locale's long, short, English
    std::vector<std::string> m_dayNames;
    std::vector<std::string> m_amPm; // AM texts at even, PM texts at odd positions
};

} // namespace halvane
