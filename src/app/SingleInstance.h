#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

namespace halvane {

// One station per user and data root. The first start listens on a local socket whose
// name comes from the user and the data root; a second start asks it to raise its
// window and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& dataRoot, QObject* parent = nullptr);

    // True when another instance answered and was asked to come to the front.
    bool RaiseRunningInstance();
    // Starts listening; `raise` runs whenever a later start asks for the window.
    bool Listen(std::function<void()> raise);

    static QString ServerName(const QString& dataRoot);

private:
    void NewConnection();

    QString m_name;
    QLocalServer m_server;
    std::function<void()> m_raise;
};

} // namespace halvane
