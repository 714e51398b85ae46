#pragma once

#include "AlarmListRows.h"

#include <QAbstractTableModel>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The alarm list's rows over a copy of the alarms, in the order given. Cell texts are made
// when first shown, so that a long list costs only what is on the screen. The priority
// cell always has the priority's colours; the other cells of an unacknowledged row take
// them while the blink is on.
class AlarmListModel final : public QAbstractTableModel {
public:
    // The tag's name as UTF-8.
    using TagNameOf = std::function<std::string(size_t tagIndex)>;
    using Clock = std::function<AlarmTime()>;

    AlarmListModel(TagNameOf tagName, Clock clock, QObject* parent = nullptr);

    void SetAlarms(std::vector<AlarmInfo> alarms);
    const std::vector<AlarmInfo>& Alarms() const { return m_alarms; }
    // The row of the alarm of `kind` of tag `tagIndex`; nothing when it is not listed.
    std::optional<int> RowOf(size_t tagIndex, AlarmKind kind) const;
    bool AnyUnacknowledged() const;

    // Read at every paint; the caller repaints the view.
    void SetBlinkOn(bool on) { m_blinkOn = on; }
    bool BlinkOn() const { return m_blinkOn; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const AlarmRowCells& Cells(size_t row) const;
    std::optional<PriorityColours> ColoursAt(const QModelIndex& index) const;

    TagNameOf m_tagName;
    Clock m_clock;
    std::vector<AlarmInfo> m_alarms;
    mutable std::vector<std::optional<AlarmRowCells>> m_cells;
    bool m_blinkOn = false;
};

} // namespace halvane
