#pragma once

#include "JournalFormat.h"

#include <QAbstractTableModel>

#include <vector>

namespace halvane {

// The journal lines the viewer shows: the events read and which of them pass the filter.
// Cells are made when shown.
class JournalTableModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetEvents(std::vector<JournalEvent> events);
    const std::vector<JournalEvent>& Events() const { return m_events; }
    // Positions in Events() of the rows shown, in order.
    void SetShown(std::vector<size_t> shown);
    const std::vector<size_t>& Shown() const { return m_shown; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<JournalEvent> m_events;
    std::vector<size_t> m_shown;
};

} // namespace halvane
