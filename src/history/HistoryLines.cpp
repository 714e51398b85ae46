#include "HistoryLines.h"

#include "CLog.h"
#include "ProfileStore.h"

namespace halvane {

namespace {

std::string DoubledQuotes(const std::string& text) {
    std::string quoted;
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted;
}

bool IsBracketOpen(QChar c) {
    return c == u'(' || c == u'[';
}
bool IsBracketClose(QChar c) {
    return c == u')' || c == u']';
}

} // namespace

char HistorySeparator(const ProfileStore& store) {
    const std::string value = store.ReadString("General", "Log.Separator", ",");
    // An empty value has no first character; the default comma keeps sampling going.
    return value.empty() ? ',' : value.front();
}

std::string HistoryColumnName(const TDataChannel& tag) {
    return tag.Name + '[' + tag.Unit + ']';
}

std::string BuildHistoryHeader(const std::vector<TDataChannel>& tags, char separator) {
    std::string header(kHistoryHeaderStart);
    for (const TDataChannel& tag : tags) {
        header += separator;
        header += '"' + DoubledQuotes(HistoryColumnName(tag)) + '"';
    }
    return header;
}

// Text in single quotes is literal; "''" toggles twice and stays a literal quote.
QString TimeFormatWithoutZone(const QString& format) {
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'\'')
            quoted = !quoted;
        if (quoted || format[i] != u't') {
            kept += format[i];
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't')
            ++i;
        if (!kept.isEmpty() && IsBracketOpen(kept.back()) && i + 1 < format.size() &&
            IsBracketClose(format[i + 1])) {
            kept.chop(1);
            ++i;
        }
        while (!kept.isEmpty() && (kept.back().isSpace() || kept.back() == u','))
            kept.chop(1);
    }
    return kept.trimmed();
}

std::string FormatHistoryTimestamp(const QDateTime& at, const QLocale& locale) {
    QString text = locale.toString(at.date(), locale.dateFormat(QLocale::ShortFormat));
    if (at.time() != QTime(0, 0)) {
        const QString format = TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
        text += u' ' + locale.toString(at.time(), format);
    }
    return text.toStdString();
}

std::string BuildHistoryLine(const QDateTime& at, const std::vector<TDataChannel>& tags,
                             char separator, const QLocale& locale, char decimal) {
    std::string line = FormatHistoryTimestamp(at, locale);
    for (const TDataChannel& tag : tags) {
        line += separator;
        if (tag.ValueValid)
            line += FormatGeneral(tag.RealValue, decimal);
    }
    return line;
}

} // namespace halvane
