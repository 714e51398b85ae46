#include "JournalFilter.h"

#include <QString>

#include <algorithm>
#include <sstream>

namespace halvane {

namespace {

constexpr std::string_view kEventNames[] = {
    "raised",       "acknowledged", "returned", "cleared", "shelved", "unshelved",   "write",
    "write-failed", "link-down",    "link-up",  "started", "stopped", "config-saved"};

bool HasText(const JournalEvent& event, const QString& text) {
    return std::ranges::any_of(JournalFields(event), [&text](const std::string& field) {
        return QString::fromStdString(field).contains(text, Qt::CaseInsensitive);
    });
}

} // namespace

std::span<const std::string_view> JournalEventNames() {
    return kEventNames;
}

std::vector<std::string> JournalFields(const JournalEvent& event) {
    std::istringstream line(JournalLine(event));
    std::vector<std::string> fields;
    CsvRecordReader(line).Next(fields);
    return fields;
}

std::vector<size_t> JournalFilter(std::span<const JournalEvent> events,
                                  const JournalCriteria& criteria) {
    const QString text = QString::fromStdString(criteria.text);
    std::vector<size_t> shown;
    for (size_t i = 0; i < events.size(); ++i) {
        const JournalEvent& event = events[i];
        if (criteria.tag && event.tag != criteria.tag)
            continue;
        if (!criteria.event.empty() && event.event != criteria.event)
            continue;
        if (!text.isEmpty() && !HasText(event, text))
            continue;
        shown.push_back(i);
    }
    return shown;
}

} // namespace halvane
