#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <string>

class QLocalSocket;
class QWidget;

namespace halvane {

// One station per user and data root. The station holds an exclusive lock on a file named
// after the user and the data root for as long as it lives, and listens on a local socket
// of the same name. A later start that finds the lock taken connects and sends "raise";
// the station answers "raised" once its window is in front, or "closing" when its close
// sequence has begun. A station that is closing, does not answer or drops the connection
// is waited for, up to a bound, until its lock is free.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Acquired,     // this process holds the lock: it is the station
        Raised,       // the running station came to the front
        StillRunning, // the running station kept its lock for the whole wait
    };

    explicit SingleInstance(const QString& dataRoot, QObject* parent = nullptr);

    // Takes the lock, or asks the station that holds it to come to the front; waits up to
    // `wait` for a station that is ending.
    Claim ClaimOrRaise(std::chrono::milliseconds wait);
    // Starts answering later starts; `raise` runs for each of their requests.
    bool Listen(std::function<void()> raise);
    // The close sequence begins with `window`'s close event: from then on later starts are
    // told to wait.
    void WatchForClose(QWidget& window);

    static QString ServerName(const QString& dataRoot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An exclusive lock on a file; it is released when its holder ends, even by a crash.
    class LockFile final {
    public:
        explicit LockFile(const QString& path);
        ~LockFile();
        LockFile(const LockFile&) = delete;
        LockFile& operator=(const LockFile&) = delete;
        // True when the lock is held (or cannot be had at all, for want of its file).
        bool TryLock();

    private:
        std::string m_path;
        int m_fd = -1;
        bool m_locked = false;
    };

    bool AskToRaise(std::chrono::steady_clock::time_point deadline) const;
    void NewConnection();
    void Reply(QLocalSocket& socket);

    QString m_name;
    // Declared before the server: the socket goes away before the lock is released.
    LockFile m_lock;
    QLocalServer m_server;
    std::function<void()> m_raise;
    QWidget* m_window = nullptr;
    bool m_closing = false;
};

} // namespace halvane
