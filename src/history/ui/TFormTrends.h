#pragma once

#include "HistoryReader.h"
#include "TDataChannel.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <vector>

class QChart;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGraphicsLineItem;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace halvane {

class ProfileStore;
class TagTable;
class TrendChartView;

// The trends window: the history of the tags chosen on the left (searched by name) over the
// last hour, day or week or between two dates, one line per tag broken where the station
// did not record, one value axis per unit. The wheel and the mouse zoom and pan; the cursor
// shows the time and the values under it. The shown data exports as CSV, the chart as PNG.
// While "Live" is on the range follows the clock and new lines appear as they are written.
class TFormTrends final : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    enum class Range { LastHour, LastDay, LastWeek, Between };

    TFormTrends(
        const TagTable& tags, const ProfileStore& store, QWidget* parent = nullptr,
        Clock clock = [] { return QDateTime::currentDateTime(); });

    // Shows the window (in front) with the tags of the table now, read again.
    void Open();
    // Opens the window with tag `tagIndex` chosen besides those chosen before.
    void ShowTag(int tagIndex);
    // Lists the tags of the table again, keeping the choice of those still there.
    void FillTags();
    // Reads the history of the chosen tags for the range and draws it.
    void Reload();

    const HistoryTable& Shown() const { return m_table; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Present();
    void BuildWindow();
    QWidget* BuildTagPanel();
    QWidget* BuildRangeBar();
    std::vector<int> ChosenTags() const;
    std::pair<LocalMsecs, LocalMsecs> RangeShown() const;
    void Draw();
    void ShowStatus();

    void EditSearchChange(const QString& text);
    void ListTagsItemChanged(QListWidgetItem* item);
    void ComboBoxRangeChange(int index);
    void CheckBoxLiveClick(bool checked);
    void ButtonExportCsvClick();
    void ButtonExportPngClick();
    void ButtonCloseClick();
    void ChartViewRangeChosen(qint64 from, qint64 to);
    void ChartViewRangeReset();
    void ChartViewCursorMoved(qint64 at);
    void TimerLiveTimer();

    const TagTable& m_tags;
    const ProfileStore& m_store;
    Clock m_clock;
    HistoryTable m_table;
    HistoryReadReport m_report;
    std::vector<std::string> m_headerCells;                // the shown columns' names for an export
    std::vector<std::pair<int, TDataChannel>> m_shownTags; // index and tag as read
    std::pair<LocalMsecs, LocalMsecs> m_range;             // of the last reading

    QLineEdit* m_editSearch = nullptr;
    QListWidget* m_listTags = nullptr;
    QComboBox* m_comboBoxRange = nullptr;
    QDateTimeEdit* m_dateTimeFrom = nullptr;
    QDateTimeEdit* m_dateTimeTo = nullptr;
    QCheckBox* m_checkBoxLive = nullptr;
    QChart* m_chart = nullptr;
    TrendChartView* m_chartView = nullptr;
    QGraphicsLineItem* m_cursorLine = nullptr;
    QLabel* m_labelCursor = nullptr;
    QLabel* m_labelStatus = nullptr;
    QTimer* m_timerLive = nullptr;
    QTimer* m_timerReload = nullptr; // gathers the wheel's steps into one reading
};

} // namespace halvane
