#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLocalSocket>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRetryInterval = std::chrono::milliseconds(100);
constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaisedAnswer[] = "raised";
constexpr char kClosingAnswer[] = "closing";

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

} // namespace

SingleInstance::LockFile::LockFile(const QString& path) : m_path(QFile::encodeName(path)) {}

// The holder removes the file as it ends, so it leaves nothing behind.
SingleInstance::LockFile::~LockFile() {
    if (m_locked)
        ::unlink(m_path.c_str());
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::LockFile::TryLock() {
    if (m_fd < 0)
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Without its file the lock cannot keep a second station out: this one starts anyway.
    if (m_fd < 0) {
        qWarning("Cannot open the single-instance lock %s: %s", m_path.c_str(),
                 std::strerror(errno));
        return true;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    // A holder that ended removed the file after this one was opened: a lock on the
    // removed file keeps nobody out, so the lock is taken again on the file of that name.
    struct stat held {};
    struct stat named {};
    m_locked = ::fstat(m_fd, &held) == 0 && ::stat(m_path.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    if (m_locked)
        return true;
    ::close(std::exchange(m_fd, -1));
    return TryLock();
}

SingleInstance::SingleInstance(const QString& dataRoot, QObject* parent)
    : QObject(parent), m_name(ServerName(dataRoot)),
      m_lock(QDir::temp().filePath(m_name + QStringLiteral(".lock"))) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::NewConnection);
}

QString SingleInstance::ServerName(const QString& dataRoot) {
    QFileInfo info(dataRoot);
    const QString root =
        info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash =
        QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("halvane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(16)));
}

SingleInstance::Claim SingleInstance::ClaimOrRaise(std::chrono::milliseconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        if (m_lock.TryLock())
            return Claim::Acquired;
        if (AskToRaise(deadline))
            return Claim::Raised;
        if (Clock::now() >= deadline)
            return Claim::StillRunning;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(kRetryInterval, deadline - Clock::now()));
    }
}

// True when the station answered that it came to the front. It may be starting and not
// answer yet: the answer is waited for until the deadline or until the station drops the
// connection. "closing", no answer and a dropped connection all mean: wait for its end.
bool SingleInstance::AskToRaise(Clock::time_point deadline) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(RemainingMs(deadline)))
        return false;
    socket.write(kRaiseRequest);
    while (!socket.canReadLine() && socket.waitForReadyRead(RemainingMs(deadline))) {
    }
    return socket.readLine().trimmed() == kRaisedAnswer;
}

bool SingleInstance::Listen(std::function<void()> raise) {
    m_raise = std::move(raise);
    // With the lock held, a socket file that is there was left by a station that died.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_name);
}

void SingleInstance::WatchForClose(QWidget& window) {
    m_window = &window;
    window.installEventFilter(this);
}

bool SingleInstance::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Close)
        m_closing = true;
    return QObject::eventFilter(watched, event);
}

void SingleInstance::NewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Reply(*socket); });
    }
}

void SingleInstance::Reply(QLocalSocket& socket) {
    if (!socket.canReadLine() || socket.readLine() != kRaiseRequest)
        return;
    if (!m_closing && m_raise)
        m_raise();
    socket.write(m_closing ? kClosingAnswer : kRaisedAnswer);
    socket.write("\n");
    socket.flush();
}

} // namespace halvane
