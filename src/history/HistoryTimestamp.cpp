#include "HistoryTimestamp.h"

#include "HistoryLines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace halvane {

namespace {

constexpr int64_t kEpochJulianDay = 2440588; // 1970-01-01
constexpr int64_t kMsecsPerHour = 3'600'000;
constexpr int64_t kMsecsPerMinute = 60'000;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view word) {
    return !word.empty() && text.size() >= word.size() &&
           std::equal(word.begin(), word.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

// Up to `maxDigits` ASCII digits, at least one.
std::optional<int> TakeNumber(std::string_view& text, size_t maxDigits) {
    size_t n = 0;
    int value = 0;
    while (n < maxDigits && n < text.size() && text[n] >= '0' && text[n] <= '9')
        value = value * 10 + (text[n++] - '0');
    if (n == 0)
        return std::nullopt;
    text.remove_prefix(n);
    return value;
}

// A time format without its seconds and the one character that sets them off.
QString WithoutSeconds(const QString& format) {
    QString kept = format;
    const qsizetype at = kept.indexOf(u's');
    if (at <= 0)
        return kept;
    qsizetype end = at;
    while (end < kept.size() && kept[end] == u's')
        ++end;
    kept.remove(at - 1, end - at + 1);
    return kept;
}

} // namespace

LocalMsecs ToLocalMsecs(QDate date, int hour, int minute, int second, int msec) {
    return (date.toJulianDay() - kEpochJulianDay) * kMsecsPerDay + hour * kMsecsPerHour +
           minute * kMsecsPerMinute + second * 1000 + msec;
}

LocalMsecs ToLocalMsecs(const QDateTime& at) {
    const QTime time = at.time();
    return ToLocalMsecs(at.date(), time.hour(), time.minute(), time.second(), time.msec());
}

QDateTime FromLocalMsecs(LocalMsecs at) {
    const int64_t days = at >= 0 ? at / kMsecsPerDay : -((-at + kMsecsPerDay - 1) / kMsecsPerDay);
    const auto msecOfDay = static_cast<int>(at - days * kMsecsPerDay);
    return QDateTime(QDate::fromJulianDay(days + kEpochJulianDay),
                     QTime::fromMSecsSinceStartOfDay(msecOfDay));
}

std::string IsoLocalText(LocalMsecs at) {
    const QDateTime local = FromLocalMsecs(at);
    const QDate d = local.date();
    const QTime t = local.time();
    char text[40];
    int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", d.year(), d.month(),
                          d.day(), t.hour(), t.minute(), t.second());
    if (t.msec() != 0)
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%03d", t.msec());
    return std::string(text, static_cast<size_t>(n));
}

std::optional<LocalMsecs> ParseIsoLocal(std::string_view text) {
    const auto part = [&](size_t digits, char after) -> std::optional<int> {
        if (text.size() < digits || !std::all_of(text.begin(), text.begin() + digits,
                                                 [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        auto value = TakeNumber(text, digits);
        if (after != '\0') {
            if (text.empty() || (text.front() != after && !(after == 'T' && text.front() == ' ')))
                return std::nullopt;
            text.remove_prefix(1);
        }
        return value;
    };
    const auto year = part(4, '-');
    const auto month = year ? part(2, '-') : std::nullopt;
    const auto day = month ? part(2, '\0') : std::nullopt;
    if (!day)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    if (text.empty())
        return ToLocalMsecs(date);
    if (text.front() != 'T' && text.front() != ' ')
        return std::nullopt;
    text.remove_prefix(1);
    const auto hour = part(2, ':');
    const auto minute = hour ? part(2, '\0') : std::nullopt;
    int second = 0;
    if (minute && !text.empty()) {
        if (text.front() != ':')
            return std::nullopt;
        text.remove_prefix(1);
        const auto s = part(2, '\0');
        if (!s || !text.empty())
            return std::nullopt;
        second = *s;
    }
    if (!minute || !QTime::isValid(*hour, *minute, second))
        return std::nullopt;
    return ToLocalMsecs(date, *hour, *minute, second);
}

HistoryTimestampParser::HistoryTimestampParser(const QLocale& locale) {
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    const QString time = TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
    for (const QString& format :
         {date + u' ' + time, date + u' ' + WithoutSeconds(time),
          QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
          QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("d MMM yyyy HH:mm:ss")})
        m_formats.push_back(Compile(format));
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const QLocale& names : {locale, english}) {
        for (const auto type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            for (int i = 1; i <= 12; ++i)
                m_monthNames.push_back(names.monthName(i, type).toStdString());
            for (int i = 1; i <= 7; ++i)
                m_dayNames.push_back(names.dayName(i, type).toStdString());
        }
        m_amPm.push_back(names.amText().toStdString());
        m_amPm.push_back(names.pmText().toStdString());
    }
}

HistoryTimestampParser::Format HistoryTimestampParser::Compile(const QString& qtFormat) {
    Format format;
    const std::string text = qtFormat.toStdString();
    const auto literal = [&](std::string_view chars) {
        if (format.empty() || format.back().field != Field::Literal)
            format.push_back({Field::Literal, {}});
        format.back().literal += chars;
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        size_t run = 1;
        while (i + run < text.size() && text[i + run] == c)
            ++run;
        if (c == '\'') {
            const size_t end = text.find('\'', i + 1);
            literal(text.substr(i + 1, (end == std::string::npos ? text.size() : end) - i - 1));
            i = end == std::string::npos ? text.size() : end + 1;
            continue;
        }
        Field field = Field::Literal;
        switch (c) {
        case 'd':
            field = run > 2 ? Field::DayName : Field::Day;
            break;
        case 'M':
            field = run > 2 ? Field::MonthName : Field::Month;
            break;
        case 'y':
            field = Field::Year;
            break;
        case 'h':
        case 'H':
            field = Field::Hour;
            break;
        case 'm':
            field = Field::Minute;
            break;
        case 's':
            field = Field::Second;
            break;
        case 'z':
            field = Field::Msec;
            break;
        case 'a':
        case 'A':
            field = Field::AmPm;
            break;
        case 'p':
        case 'P':
        case 't':
            i += run;
            continue; // the "P" of "AP"; the time zone is not written
        default:
            break;
        }
        if (IsBlank(c) || field != Field::Literal) {
            if (IsBlank(c) && !format.empty() && format.back().field == Field::Blank) {
                i += run;
                continue;
            }
            format.push_back({IsBlank(c) ? Field::Blank : field, {}});
        } else {
            literal(text.substr(i, run));
        }
        i += run;
    }
    return format;
}

bool HistoryTimestampParser::MatchName(std::string_view& text,
                                       const std::vector<std::string>& names, int& index) const {
    for (size_t i = 0; i < names.size(); ++i) {
        if (StartsWithIgnoringCase(text, names[i])) {
            text.remove_prefix(names[i].size());
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

// The text may end where the date ends (midnight) or after the minutes (no seconds).
bool HistoryTimestampParser::Match(const Format& format, std::string_view text,
                                   Parsed& parsed) const {
    bool timeStarted = false;
    bool minuteRead = false;
    for (const Token& token : format) {
        if (text.empty()) {
            const bool dateRead = parsed.year >= 0 && parsed.month > 0 && parsed.day > 0;
            return dateRead && (!timeStarted || minuteRead) &&
                   std::none_of(&token, format.data() + format.size(), [](const Token& t) {
                       return t.field == Field::Day || t.field == Field::Month ||
                              t.field == Field::MonthName || t.field == Field::Year;
                   });
        }
        std::optional<int> number;
        int index = 0;
        switch (token.field) {
        case Field::Blank:
            while (!text.empty() && IsBlank(text.front()))
                text.remove_prefix(1);
            continue;
        case Field::Literal:
            if (!text.starts_with(token.literal))
                return false;
            text.remove_prefix(token.literal.size());
            continue;
        case Field::DayName:
            if (!MatchName(text, m_dayNames, index))
                return false;
            continue;
        case Field::MonthName:
            if (!MatchName(text, m_monthNames, index))
                return false;
            parsed.month = index % 12 + 1;
            continue;
        case Field::AmPm:
            if (!MatchName(text, m_amPm, index))
                return false;
            parsed.amPm = index % 2;
            continue;
        case Field::Year:
            number = parsed.year = TakeNumber(text, 4).value_or(-1);
            break;
        case Field::Month:
            number = parsed.month = TakeNumber(text, 2).value_or(-1);
            break;
        case Field::Day:
            number = parsed.day = TakeNumber(text, 2).value_or(-1);
            break;
        case Field::Hour:
            timeStarted = true;
            number = parsed.hour = TakeNumber(text, 2).value_or(-1);
            break;
        case Field::Minute:
            number = parsed.minute = TakeNumber(text, 2).value_or(-1);
            minuteRead = true;
            break;
        case Field::Second:
            number = parsed.second = TakeNumber(text, 2).value_or(-1);
            break;
        case Field::Msec:
            number = parsed.msec = TakeNumber(text, 3).value_or(-1);
            break;
        }
        if (*number < 0)
            return false;
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text.empty();
}

std::optional<LocalMsecs> HistoryTimestampParser::Combine(const Parsed& parsed, QDate fileDay) {
    int year = parsed.year;
    if (year < 100) {
        const int century =
            (fileDay.isValid() ? fileDay.year() : QDate::currentDate().year()) / 100;
        year += century * 100;
    }
    QDate date(year, parsed.month, parsed.day);
    int hour = parsed.hour;
    // Without its AM or PM (a spreadsheet wrote 24 hours), a 12-hour field is read as 24.
    if (parsed.amPm >= 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (parsed.amPm == 1 ? 12 : 0);
    }
    if (!QTime::isValid(hour, parsed.minute, parsed.second, parsed.msec))
        return std::nullopt;
    if (fileDay.isValid() && (!date.isValid() || std::abs(date.daysTo(fileDay)) > 1))
        date = fileDay;
    if (!date.isValid())
        return std::nullopt;
    return ToLocalMsecs(date, hour, parsed.minute, parsed.second, parsed.msec);
}

std::optional<LocalMsecs> HistoryTimestampParser::Parse(std::string_view text, QDate fileDay) {
    for (size_t n = 0; n < m_formats.size(); ++n) {
        const size_t i = (m_lastFitting + n) % m_formats.size();
        Parsed parsed;
        if (!Match(m_formats[i], text, parsed))
            continue;
        if (const auto at = Combine(parsed, fileDay)) {
            m_lastFitting = i;
            return at;
        }
    }
    return std::nullopt;
}

} // namespace halvane
