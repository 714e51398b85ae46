#include "TagListModel.h"

#include "TagTable.h"

#include <array>
#include <utility>

namespace halvane {

namespace {

constexpr int kLiveColumns = kTagListColumnCount - kTagListFirstLiveColumn;

// Compares without copying the tag's texts.
bool SameLiveState(const TagLiveState& state, const TDataChannel& tag) {
    return state.rawValue == tag.RawValue && state.realValue == tag.RealValue &&
           state.valueValid == tag.ValueValid && state.pollingNow == tag.PollingNow &&
           state.status == tag.Status && state.unit == tag.Unit;
}

} // namespace

TagListModel::TagListModel(const TagTable& tags, QObject* parent)
    : QAbstractTableModel(parent), m_tags(tags) {}

void TagListModel::Fill() {
    beginResetModel();
    m_rows.clear();
    m_tags.ReadAll([this](const TDataChannel& tag, size_t index) {
        Row row;
        row.config = ConfigCells(tag, index);
        row.state = LiveState(tag);
        m_rows.push_back(std::move(row));
    });
    for (Row& row : m_rows) {
        row.live = LiveCells(row.state);
        row.icon = StatusIcon(row.state);
    }
    endResetModel();
}

void TagListModel::Refresh() {
    // Copy out only the tags whose live state moved, then format outside the lock.
    std::vector<std::pair<size_t, TagLiveState>> moved;
    m_tags.ReadAll([&](const TDataChannel& tag, size_t index) {
        if (index < m_rows.size() && !SameLiveState(m_rows[index].state, tag))
            moved.emplace_back(index, LiveState(tag));
    });
    std::array<std::vector<int>, kLiveColumns> changed;
    for (auto& [index, state] : moved) {
        Row& row = m_rows[index];
        const TagListLiveCells cells = LiveCells(state);
        const TagStatusIcon icon = StatusIcon(state);
        for (int c = 0; c < kLiveColumns; ++c) {
            const auto column = static_cast<size_t>(c);
            bool differs = cells[column] != row.live[column];
            if (c + kTagListFirstLiveColumn == kTagListStatusColumn)
                differs = differs || icon != row.icon;
            if (c + kTagListFirstLiveColumn == kTagListPollingColumn)
                differs = differs || state.pollingNow != row.state.pollingNow;
            if (differs)
                changed[column].push_back(static_cast<int>(index));
        }
        row.live = cells;
        row.icon = icon;
        row.state = std::move(state);
    }
    for (int c = 0; c < kLiveColumns; ++c)
        ReportChanged(c + kTagListFirstLiveColumn, changed[static_cast<size_t>(c)]);
}

// One signal per run of neighbouring rows.
void TagListModel::ReportChanged(int column, const std::vector<int>& rows) {
    size_t first = 0;
    while (first < rows.size()) {
        size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        emit dataChanged(index(rows[first], column), index(rows[last], column));
        first = last + 1;
    }
}

int TagListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TagListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTagListColumnCount;
}

QVariant TagListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        const std::string& text =
            column < kTagListFirstLiveColumn
                ? row.config[static_cast<size_t>(column)]
                : row.live[static_cast<size_t>(column - kTagListFirstLiveColumn)];
        return QString::fromStdString(text);
    }
    if (role == kIconRole && column == kTagListStatusColumn)
        return static_cast<int>(row.icon);
    if (role == kIconRole && column == kTagListPollingColumn)
        return row.state.pollingNow;
    return {};
}

QVariant TagListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kTagListColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::string_view header = TagListHeaders()[static_cast<size_t>(section)];
    return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
}

} // namespace halvane
