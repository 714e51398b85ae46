#include "JournalTableModel.h"

#include "JournalFilter.h"

#include <QStringList>

namespace halvane {

void JournalTableModel::SetEvents(std::vector<JournalEvent> events) {
    beginResetModel();
    m_events = std::move(events);
    m_shown.clear();
    endResetModel();
}

void JournalTableModel::SetShown(std::vector<size_t> shown) {
    beginResetModel();
    m_shown = std::move(shown);
    endResetModel();
}

int JournalTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int JournalTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kJournalFields);
}

QVariant JournalTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        index.row() >= static_cast<int>(m_shown.size()))
        return {};
    const JournalEvent& event = m_events[m_shown[static_cast<size_t>(index.row())]];
    return QString::fromStdString(JournalFields(event)[static_cast<size_t>(index.column())]);
}

QVariant JournalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList kNames =
        QString::fromUtf8(kJournalHeader.data(), static_cast<qsizetype>(kJournalHeader.size()))
            .split(u',');
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kNames.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return kNames[section];
}

} // namespace halvane
