#include "QueuedTraceSink.h"

#include "StoredText.h"

namespace halvane {

QueuedTraceSink::QueuedTraceSink(QObject* parent, Clock clock)
    : QObject(parent), m_clock(std::move(clock)) {}

void QueuedTraceSink::SetTarget(std::function<void(const QString&)> target) {
    m_target = std::move(target);
}

void QueuedTraceSink::SetAccepting(bool accepting) {
    m_accepting.store(accepting);
}

bool QueuedTraceSink::Accepting() const {
    return m_accepting.load();
}

void QueuedTraceSink::Append(std::string line) {
    QMetaObject::invokeMethod(
        this,
        [this, tracedAt = m_clock(), line = std::move(line)] {
            if (m_accepting.load() && m_target)
                m_target(tracedAt.toString(QStringLiteral("HH:mm:ss.zzz ")) +
                         QString::fromStdString(Windows1252ToUtf8(line)));
        },
        Qt::QueuedConnection);
}

} // namespace halvane
