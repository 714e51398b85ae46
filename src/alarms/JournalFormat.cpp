#include "JournalFormat.h"

#include "HistoryExport.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace halvane {

namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

std::string NumberText(std::optional<int> number) {
    return number ? std::to_string(*number) : std::string();
}

// The shortest text that reads back as the same double.
std::string NumberText(std::optional<double> number) {
    if (!number)
        return {};
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, *number);
    return std::string(text, result.ptr);
}

template <typename Number> bool ParseNumber(std::string_view text, std::optional<Number>& number) {
    if (text.empty())
        return true;
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    number = parsed;
    return true;
}

std::optional<int> Digits(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::tm LocalTm(system_clock::time_point at) {
    const std::time_t seconds =
        system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(at));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return local;
}

} // namespace

JournalEvent EventNow(std::string_view event, std::string_view source, std::string_view user,
                      std::string_view text) {
    JournalEvent line;
    line.time = system_clock::now();
    line.event = event;
    line.user = user;
    line.source = source;
    line.text = text;
    return line;
}

std::string JournalTimeText(system_clock::time_point at) {
    const auto msecs = std::chrono::floor<milliseconds>(at);
    const auto msec = (msecs - std::chrono::floor<std::chrono::seconds>(msecs)).count();
    const std::tm local = LocalTm(at);
    const long offsetMinutes = std::labs(local.tm_gmtoff) / 60;
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(msec),
                  local.tm_gmtoff < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

std::optional<JournalTime> ParseJournalTime(std::string_view text) {
    constexpr std::string_view kShape = "0000-00-00T00:00:00.000+00:00";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = kShape[i] == '0';
        const bool sign = i == 23 && (text[i] == '+' || text[i] == '-');
        if (!digit && !sign && text[i] != kShape[i])
            return std::nullopt;
    }
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2), msec = Digits(text, 20, 3);
    const auto offsetHours = Digits(text, 24, 2), offsetMinutes = Digits(text, 27, 2);
    if (!year || !month || !day || !hour || !minute || !second || !msec || !offsetHours ||
        !offsetMinutes || *hour > 23 || *minute > 59 || *second > 59 || *offsetMinutes > 59)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    const milliseconds local = std::chrono::sys_days(date).time_since_epoch() +
                               std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
                               std::chrono::seconds(*second) + milliseconds(*msec);
    const std::chrono::minutes offset =
        (text[23] == '-' ? -1 : 1) *
        (std::chrono::hours(*offsetHours) + std::chrono::minutes(*offsetMinutes));
    return JournalTime{system_clock::time_point(local - offset), local.count()};
}

std::string JournalLine(const JournalEvent& event) {
    const std::string fields[kJournalFields] = {
        JournalTimeText(event.time), CsvCell(event.event),       NumberText(event.tag),
        CsvCell(event.name),         NumberText(event.priority), NumberText(event.value),
        NumberText(event.limit),     CsvCell(event.user),        CsvCell(event.source),
        CsvCell(event.text)};
    std::string line = fields[0];
    for (size_t i = 1; i < kJournalFields; ++i)
        line += ',' + fields[i];
    return line + "\r\n";
}

std::optional<JournalEvent> ParseJournalFields(const std::vector<std::string>& fields) {
    if (fields.size() != kJournalFields)
        return std::nullopt;
    const auto time = ParseJournalTime(fields[0]);
    if (!time)
        return std::nullopt;
    JournalEvent event{time->at, fields[1], {},        fields[3], {},
                       {},       {},        fields[7], fields[8], fields[9]};
    if (!ParseNumber(fields[2], event.tag) || !ParseNumber(fields[4], event.priority) ||
        !ParseNumber(fields[5], event.value) || !ParseNumber(fields[6], event.limit))
        return std::nullopt;
    return event;
}

QDate JournalLocalDate(system_clock::time_point at) {
    const std::tm local = LocalTm(at);
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string JournalFileName(QDate day) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d.csv", day.year(), day.month(), day.day());
    return name;
}

QDate JournalFileDay(std::string_view fileName) {
    constexpr std::string_view kShape = "0000-00-00.csv";
    if (fileName.size() != kShape.size())
        return {};
    for (size_t i = 0; i < kShape.size(); ++i)
        if (kShape[i] == '0' ? fileName[i] < '0' || fileName[i] > '9' : fileName[i] != kShape[i])
            return {};
    return QDate(*Digits(fileName, 0, 4), *Digits(fileName, 5, 2), *Digits(fileName, 8, 2));
}

bool CsvRecordReader::Next(std::vector<std::string>& fields) {
    constexpr int kEnd = std::char_traits<char>::eof();
    fields.assign(1, std::string());
    bool quoted = false;
    for (int c = m_in.sbumpc(); c != kEnd; c = m_in.sbumpc()) {
        std::string& field = fields.back();
        if (quoted) {
            if (c != '"')
                field += static_cast<char>(c);
            else if (m_in.sgetc() == '"')
                field += static_cast<char>(m_in.sbumpc());
            else
                quoted = false;
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n' || (c == '\r' && m_in.sgetc() == '\n')) {
            if (c == '\r')
                m_in.sbumpc();
            return true;
        } else {
            field += static_cast<char>(c);
        }
    }
    return false;
}

} // namespace halvane
