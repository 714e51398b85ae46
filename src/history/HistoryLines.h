#pragma once

#include "NumberFormat.h"
#include "TDataChannel.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <string>
#include <vector>

namespace halvane {

class ProfileStore;

// The column separator: the first character of General / Log.Separator.
char HistorySeparator(const ProfileStore& store);

// The tag's column in the history files: "Name[Unit]" (in the header between quotes).
std::string HistoryColumnName(const TDataChannel& tag);

// "Timestamp" in quotes, then for each tag the separator and "Name[Unit]" in quotes, with
// every '"' inside name and unit doubled. No line end.
std::string BuildHistoryHeader(const std::vector<TDataChannel>& tags, char separator);

// A Qt time format without its time-zone field ("t", "tt", ...) and the brackets, comma
// or blanks that only set it off.
QString TimeFormatWithoutZone(const QString& format);

// The locale's short date, a blank and its long time without the time zone; the date
// alone at exactly midnight.
std::string FormatHistoryTimestamp(const QDateTime& at, const QLocale& locale = QLocale::system());

// The timestamp, then for each tag the separator and its RealValue in general format;
// a tag whose value is not valid (never read, or its last reading failed) leaves its
// field empty. No line end.
std::string BuildHistoryLine(const QDateTime& at, const std::vector<TDataChannel>& tags,
                             char separator, const QLocale& locale = QLocale::system(),
                             char decimal = DecimalSeparator());

} // namespace halvane
