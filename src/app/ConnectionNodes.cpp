#include "ConnectionNodes.h"

#include "Icons.h"

#include <QTimer>
#include <QTreeWidgetItem>

namespace halvane {

namespace {

// A link that drops is seen within this time.
constexpr int kLinkStatusIntervalMs = 1000;

NavigatorIcon LightOf(LinkStatus status) {
    switch (status) {
    case LinkStatus::Connected:
        return NavigatorIcon::Connected;
    case LinkStatus::Down:
        return NavigatorIcon::Disconnected;
    case LinkStatus::Disabled:
        return NavigatorIcon::ConnectionDisabled;
    }
    return NavigatorIcon::Disconnected;
}

} // namespace

ConnectionNodes::ConnectionNodes(QTreeWidgetItem& node, const Connections& connections,
                                 QObject* parent)
    : QObject(parent), m_node(node), m_connections(connections) {
    auto* timer = new QTimer(this);
    timer->setObjectName("TimerLinkStatus");
    timer->setInterval(kLinkStatusIntervalMs);
    connect(timer, &QTimer::timeout, this, &ConnectionNodes::TimerLinkStatusTimer);
    timer->start();
}

void ConnectionNodes::Refresh() {
    while (m_node.childCount() < kConnectionCount)
        new QTreeWidgetItem(&m_node);
    for (int n = 1; n <= kConnectionCount; ++n)
        m_node.child(n - 1)->setText(0, QString::fromStdString(m_connections.StatusText(n)));
    ShowLights();
}

// Only a light that changed is drawn again.
void ConnectionNodes::ShowLights() {
    for (int n = 1; n <= kConnectionCount; ++n) {
        const LinkStatus status = m_connections.Status(n);
        std::optional<LinkStatus>& shown = m_shown[static_cast<size_t>(n - 1)];
        if (shown == status)
            continue;
        shown = status;
        m_node.child(n - 1)->setIcon(0, MakeNavigatorIcon(LightOf(status)));
        emit LinkStatusChanged(n, status);
    }
}

void ConnectionNodes::TimerLinkStatusTimer() {
    if (m_node.childCount() >= kConnectionCount)
        ShowLights();
}

} // namespace halvane
