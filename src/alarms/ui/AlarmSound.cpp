#include "AlarmSound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace halvane {

AlarmSound::AlarmSound(AlarmService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    m_timerSound = new QTimer(this);
    m_timerSound->setObjectName("TimerSound");
    m_timerSound->setInterval(kRepeatInterval);
    connect(m_timerSound, &QTimer::timeout, this, &AlarmSound::TimerSoundTimer);
    m_service.Subscribe(this);
    Reconsider();
}

AlarmSound::~AlarmSound() {
    m_service.Unsubscribe(this);
}

void AlarmSound::Silence() {
    m_silenced = SoundingAlarms(m_service.Alarms(false));
    Reconsider();
}

bool AlarmSound::Sounding() const {
    return m_timerSound->isActive();
}

void AlarmSound::Reconsider() {
    const bool wanted =
        AlarmSoundWanted(m_service.Alarms(false), m_service.Options().sound, m_silenced);
    if (wanted && !Sounding()) {
        Play();
        m_timerSound->start();
    } else if (!wanted) {
        m_timerSound->stop();
    }
}

// Told on any thread: a flood of changes asks for one look at a time.
void AlarmSound::AlarmsChanged() {
    if (m_reconsiderQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reconsiderQueued = false;
            Reconsider();
        },
        Qt::QueuedConnection);
}

void AlarmSound::TimerSoundTimer() {
    Play();
}

void AlarmSound::Play() {
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        ReportNoSound("no audio output");
        return;
    }
    if (m_effect == nullptr) {
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Error)
                ReportNoSound("the sound cannot be played");
        });
        m_effect->setSource(QUrl(QStringLiteral("qrc:/alarms/alarm.wav")));
    }
    m_effect->play();
}

void AlarmSound::ReportNoSound(const char* why) {
    if (m_noSoundReported)
        return;
    m_noSoundReported = true;
    std::fprintf(stderr, "Alarm sound: %s; alarms are shown but not heard\n", why);
}

} // namespace halvane
