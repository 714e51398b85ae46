#pragma once

#include "TagListRows.h"

#include <QAbstractTableModel>

#include <vector>

namespace halvane {

class TagTable;

// The tag list's rows over the shared tag table: one row per tag, the headers as the
// header row. Fill rebuilds every row; Refresh rebuilds only the live columns and
// reports only the cells whose text or icon changed, so that a large table stays cheap
// to refresh.
class TagListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // Column 10: the status icon, a TagStatusIcon as int. Column 11: bool, being polled.
    static constexpr int kIconRole = Qt::UserRole;

    explicit TagListModel(const TagTable& tags, QObject* parent = nullptr);

    void Fill();
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row {
        TagListConfigCells config;
        TagLiveState state;
        TagListLiveCells live;
        TagStatusIcon icon = TagStatusIcon::None;
    };

    void ReportChanged(int column, const std::vector<int>& rows);

    const TagTable& m_tags;
    std::vector<Row> m_rows;
};

} // namespace halvane
