#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace halvane {

namespace {
constexpr int kTimeoutMs = 1000;
constexpr char kRaiseRequest[] = "raise\n";
} // namespace

SingleInstance::SingleInstance(const QString& dataRoot, QObject* parent)
    : QObject(parent), m_name(ServerName(dataRoot)) {
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

bool SingleInstance::RaiseRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kTimeoutMs))
        return false;
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void()> raise) {
    m_raise = std::move(raise);
    // A socket file left by a crashed instance would block the name.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_name);
}

void SingleInstance::NewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains("raise") && m_raise)
                m_raise();
        });
    }
}

} // namespace halvane
