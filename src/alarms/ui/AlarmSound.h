#pragma once

#include "AlarmAnnunciation.h"
#include "AlarmService.h"

#include <QObject>

#include <atomic>
#include <vector>

class QSoundEffect;
class QTimer;

namespace halvane {

// Plays the alarm sound every few seconds while an alarm of priority 1 or 2 waits for
// acknowledgement, unless "[Alarms] Sound=0" or the operator silenced it (until the next
// alarm is raised). Without an audio output it plays nothing and says so once on stderr.
class AlarmSound final : public QObject, private AlarmSubscriber {
    Q_OBJECT
public:
    static constexpr int kRepeatInterval = 4000; // ms

    explicit AlarmSound(AlarmService& service, QObject* parent = nullptr);
    ~AlarmSound() override;

    // Stops the sound until an alarm is raised that was not sounding now.
    void Silence();
    // Whether the sound repeats now.
    bool Sounding() const;
    // Looks at the alarms now.
    void Reconsider();

private:
    void AlarmsChanged() override;
    void TimerSoundTimer();
    void Play();
    void ReportNoSound(const char* why);

    AlarmService& m_service;
    std::vector<SilencedAlarm> m_silenced;
    QTimer* m_timerSound = nullptr;
    QSoundEffect* m_effect = nullptr; // made on the first play
    bool m_noSoundReported = false;
    std::atomic<bool> m_reconsiderQueued = false;
};

} // namespace halvane
