#pragma once

#include "TraceSink.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <atomic>
#include <functional>

namespace halvane {

// Carries trace lines from the workers to the UI thread with queued calls: a worker
// never waits for the UI, so stopping communication cannot deadlock. Lines arrive in
// the order they were traced, each led by the time of day it was traced at, to the
// millisecond ("14:03:07.250 1 TX: ..."). A line is built only while the sink accepts
// lines (the monitor is visible and tracing is on), and dropped if that ended before it
// arrived.
class QueuedTraceSink final : public QObject, public TraceSink {
    Q_OBJECT
public:
    // The time of day now; called on the workers' threads.
    using Clock = std::function<QTime()>;

    explicit QueuedTraceSink(
        QObject* parent = nullptr, Clock clock = [] { return QTime::currentTime(); });

    // On the UI thread: where lines go, and whether they are wanted now.
    void SetTarget(std::function<void(const QString&)> target);
    void SetAccepting(bool accepting);

    bool Accepting() const override;
    void Append(std::string line) override;

private:
    const Clock m_clock;
    std::function<void(const QString&)> m_target;
    std::atomic<bool> m_accepting{false};
};

} // namespace halvane
