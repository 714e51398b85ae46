#pragma once

#include "HistoryReader.h"

#include <string>
#include <vector>

namespace halvane {

// A CSV cell: the text as it is, or between quotes with every '"' doubled when it holds a
// ",", a '"' or a line end.
std::string CsvCell(const std::string& text);

// The table as CSV for other programs: the header "Timestamp" and `headerCells` (one per
// column), then one line per row: its ISO 8601 local time and each column's value in
// general format with "." as decimal point, an empty field where there is none; "," between
// fields, a cell with ",", '"' or a line end quoted, lines ended by CR LF.
std::string HistoryCsvText(const HistoryTable& table, const std::vector<std::string>& headerCells);

} // namespace halvane
