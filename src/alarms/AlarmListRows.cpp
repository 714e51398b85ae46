#include "AlarmListRows.h"

#include <QDateTime>

namespace halvane {

namespace {

constexpr std::string_view kHeaders[kAlarmListColumnCount] = {
    "Time", "Priority", "Tag", "Name", "Condition", "State", "Acknowledged by"};

// Who acknowledged when nobody was logged in.
constexpr std::string_view kNoUser = "\u2014";

QDateTime LocalDateTime(AlarmTime at) {
    const auto msecs = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(msecs.count());
}

std::string AcknowledgedText(const AlarmInfo& alarm) {
    if (!alarm.acknowledgedAt)
        return {};
    const std::string user =
        alarm.acknowledgedBy.empty() ? std::string(kNoUser) : alarm.acknowledgedBy;
    return user + ' ' + AlarmLocalTimeText(*alarm.acknowledgedAt);
}

} // namespace

std::span<const std::string_view> AlarmListHeaders() {
    return kHeaders;
}

std::string AlarmLocalTimeText(AlarmTime at) {
    return LocalDateTime(at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string PriorityText(int priority) {
    return 'P' + std::to_string(priority);
}

std::string AlarmStateText(const AlarmInfo& alarm, AlarmTime now) {
    switch (alarm.state) {
    case AlarmListState::Unacknowledged:
        return "Unacknowledged";
    case AlarmListState::Acknowledged:
        return "Acknowledged";
    case AlarmListState::Returned:
        return "Returned";
    case AlarmListState::Shelved:
        break;
    }
    if (!alarm.shelvedUntil)
        return "Shelved";
    const QDateTime until = LocalDateTime(*alarm.shelvedUntil);
    const bool today = until.date() == LocalDateTime(now).date();
    return "Shelved until " +
           until.toString(today ? QStringLiteral("HH:mm") : QStringLiteral("yyyy-MM-dd HH:mm"))
               .toStdString();
}

AlarmRowCells AlarmRowTexts(const AlarmInfo& alarm, std::string_view tagName, AlarmTime now) {
    const bool tooMany = alarm.kind == AlarmKind::TooMany;
    AlarmRowCells cells;
    const auto set = [&cells](AlarmListColumn column, std::string text) {
        cells[static_cast<size_t>(column)] = std::move(text);
    };
    set(AlarmListColumn::Time, AlarmLocalTimeText(alarm.since));
    set(AlarmListColumn::Priority, PriorityText(alarm.priority));
    set(AlarmListColumn::Tag, tooMany ? std::string() : std::to_string(alarm.tagIndex + 1));
    set(AlarmListColumn::Name, std::string(tagName));
    set(AlarmListColumn::Condition, alarm.text);
    set(AlarmListColumn::State, AlarmStateText(alarm, now));
    set(AlarmListColumn::AcknowledgedBy, AcknowledgedText(alarm));
    return cells;
}

PriorityColours ColoursOfPriority(int priority) {
    constexpr uint32_t kWhite = 0xFFFFFF;
    constexpr uint32_t kDark = 0x212121;
    switch (priority) {
    case 1:
        return {0xD32F2F, kWhite}; // red
    case 2:
        return {0xF57C00, kDark}; // orange
    case 4:
        return {0x1976D2, kWhite}; // blue
    default:
        return {0xFBC02D, kDark}; // yellow
    }
}

} // namespace halvane
