#include "AlarmListModel.h"

#include <QColor>

#include <algorithm>

namespace halvane {

AlarmListModel::AlarmListModel(TagNameOf tagName, Clock clock, QObject* parent)
    : QAbstractTableModel(parent), m_tagName(std::move(tagName)), m_clock(std::move(clock)) {}

void AlarmListModel::SetAlarms(std::vector<AlarmInfo> alarms) {
    beginResetModel();
    m_alarms = std::move(alarms);
    m_cells.assign(m_alarms.size(), std::nullopt);
    endResetModel();
}

std::optional<int> AlarmListModel::RowOf(size_t tagIndex, AlarmKind kind) const {
    const auto found = std::ranges::find_if(m_alarms, [&](const AlarmInfo& alarm) {
        return alarm.tagIndex == tagIndex && alarm.kind == kind;
    });
    if (found == m_alarms.end())
        return std::nullopt;
    return static_cast<int>(found - m_alarms.begin());
}

bool AlarmListModel::AnyUnacknowledged() const {
    return std::ranges::any_of(m_alarms, [](const AlarmInfo& alarm) {
        return alarm.state == AlarmListState::Unacknowledged;
    });
}

const AlarmRowCells& AlarmListModel::Cells(size_t row) const {
    std::optional<AlarmRowCells>& cells = m_cells[row];
    if (!cells) {
        const AlarmInfo& alarm = m_alarms[row];
        const std::string name =
            alarm.kind == AlarmKind::TooMany ? std::string() : m_tagName(alarm.tagIndex);
        cells = AlarmRowTexts(alarm, name, m_clock());
    }
    return *cells;
}

std::optional<PriorityColours> AlarmListModel::ColoursAt(const QModelIndex& index) const {
    const AlarmInfo& alarm = m_alarms[static_cast<size_t>(index.row())];
    const bool priorityCell = index.column() == static_cast<int>(AlarmListColumn::Priority);
    const bool blinking = m_blinkOn && alarm.state == AlarmListState::Unacknowledged;
    if (!priorityCell && !blinking)
        return std::nullopt;
    return ColoursOfPriority(alarm.priority);
}

int AlarmListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_alarms.size());
}

int AlarmListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAlarmListColumnCount;
}

QVariant AlarmListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_alarms.size()))
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(
            Cells(static_cast<size_t>(index.row()))[static_cast<size_t>(index.column())]);
    if (role != Qt::BackgroundRole && role != Qt::ForegroundRole)
        return {};
    const std::optional<PriorityColours> colours = ColoursAt(index);
    if (!colours)
        return {};
    return QColor::fromRgb(role == Qt::BackgroundRole ? colours->background : colours->text);
}

QVariant AlarmListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kAlarmListColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::string_view header = AlarmListHeaders()[static_cast<size_t>(section)];
    return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
}

} // namespace halvane
