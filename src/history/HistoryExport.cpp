#include "HistoryExport.h"

#include "NumberFormat.h"

#include <cmath>

namespace halvane {

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string HistoryCsvText(const HistoryTable& table, const std::vector<std::string>& headerCells) {
    std::string csv = "Timestamp";
    for (const std::string& cell : headerCells)
        csv += ',' + CsvCell(cell);
    csv += "\r\n";
    for (size_t row = 0; row < table.Rows(); ++row) {
        csv += IsoLocalText(table.times[row]);
        for (const auto& column : table.values) {
            csv += ',';
            if (!std::isnan(column[row]))
                csv += FormatGeneral(column[row], '.');
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace halvane
