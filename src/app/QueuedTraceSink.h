#pragma once

#include "TraceSink.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

namespace halvane {

// Carries trace lines from the workers to the UI thread with queued calls: a worker
// never waits for the UI, so stopping communication cannot deadlock. Lines arrive in
// the order they were traced. A line is built only while the sink accepts lines (the
// monitor is visible and tracing is on), and dropped if that ended before it arrived.
class QueuedTraceSink final : public QObject, public TraceSink {
    Q_OBJECT
public:
    explicit QueuedTraceSink(QObject* parent = nullptr);

    // On the UI thread: where lines go, and whether they are wanted now.
    void SetTarget(std::function<void(const QString&)> target);
    void SetAccepting(bool accepting);

    bool Accepting() const override;
    void Append(std::string line) override;

private:
    std::function<void(const QString&)> m_target;
    std::atomic<bool> m_accepting{false};
};

} // namespace halvane
