#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace halvane {

// Turns SIGTERM and SIGINT into a call on the UI thread, so that they end the program
// through its normal shut-down.
class ShutdownSignals final : public QObject {
    Q_OBJECT
public:
    ShutdownSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~ShutdownSignals() override;

private:
    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace halvane
