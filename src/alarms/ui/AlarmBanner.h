#pragma once

#include "AlarmService.h"

#include <QLabel>

class QTimer;

namespace halvane {

// The status bar's alarm line: "N alarms, M unacknowledged" and the newest alarm waiting
// for acknowledgement as "Tag name: condition", on its priority's colours; hidden while no
// alarm is listed. It follows the service at most four times a second.
class AlarmBanner final : public QLabel, private AlarmSubscriber {
    Q_OBJECT
public:
    static constexpr int kRefreshInterval = 250; // ms

    explicit AlarmBanner(AlarmService& service, QWidget* parent = nullptr);
    ~AlarmBanner() override;

    // Reads the counts from the service now.
    void Refresh();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void AlarmsChanged() override;

    AlarmService& m_service;
    QTimer* m_timerRefresh = nullptr;
};

} // namespace halvane
