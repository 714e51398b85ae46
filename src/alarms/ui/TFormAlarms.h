#pragma once

#include "AlarmListModel.h"
#include "AlarmService.h"

#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QPushButton;
class QTableView;
class QTimer;

namespace halvane {

class AlarmListHost;

// The alarm list: the station's alarms as the service orders them, unacknowledged rows
// blinking once a second, with the operator's actions on the selected rows. It follows the
// service at most four times a second, keeping the selection.
class TFormAlarms final : public QWidget, private AlarmSubscriber {
    Q_OBJECT
public:
    using Clock = std::function<AlarmTime()>;

    static constexpr int kRefreshInterval = 250; // ms
    static constexpr int kBlinkInterval = 500;   // ms each phase: one blink a second

    TFormAlarms(
        AlarmService& service, AlarmListHost& host, QWidget* parent = nullptr,
        Clock clock = [] { return std::chrono::system_clock::now(); });
    ~TFormAlarms() override;

    // Reads the alarms from the service now.
    void Refresh();

    const AlarmListModel& Model() const { return *m_model; }

private:
    using AlarmKey = std::pair<size_t, AlarmKind>;

    void AlarmsChanged() override;

    void BuildWindow();
    std::vector<AlarmKey> SelectedAlarms() const;
    void Select(const std::vector<AlarmKey>& alarms);
    void EnableButtons();

    void StringGridAlarmsDoubleClick(const QModelIndex& index);
    void ButtonAcknowledgeClick();
    void ButtonAcknowledgeAllClick();
    void ButtonShelveClick();
    void ButtonUnshelveClick();
    void CheckBoxShowShelvedClick();
    void ButtonJournalClick();
    void TimerRefreshTimer();
    void TimerBlinkTimer();

    AlarmService& m_service;
    AlarmListHost& m_host;
    Clock m_clock;

    AlarmListModel* m_model = nullptr;
    QTableView* m_stringGridAlarms = nullptr;
    QPushButton* m_buttonAcknowledge = nullptr;
    QPushButton* m_buttonAcknowledgeAll = nullptr;
    QPushButton* m_buttonShelve = nullptr;
    QPushButton* m_buttonUnshelve = nullptr;
    QCheckBox* m_checkBoxShowShelved = nullptr;
    QPushButton* m_buttonJournal = nullptr;
    QTimer* m_timerRefresh = nullptr;
    QTimer* m_timerBlink = nullptr;
};

} // namespace halvane
