#pragma once

#include "Connections.h"

#include <QObject>

#include <array>
#include <optional>

class QTreeWidgetItem;

namespace halvane {

// The object navigator's four connection entries: each one's text, and a light that
// follows its link while the station runs: green while it is up, red while it is down or
// reconnecting, grey while the connection is not used.
class ConnectionNodes final : public QObject {
    Q_OBJECT
public:
    ConnectionNodes(QTreeWidgetItem& node, const Connections& connections, QObject* parent);

    // Makes the four entries present as the first children of `node`, relabels them from
    // the settings and sets their lights.
    void Refresh();

signals:
    // A connection's light changed (its first light too).
    void LinkStatusChanged(int connection, halvane::LinkStatus status);

private:
    void ShowLights();
    void TimerLinkStatusTimer();

    QTreeWidgetItem& m_node;
    const Connections& m_connections;
    std::array<std::optional<LinkStatus>, kConnectionCount> m_shown;
};

} // namespace halvane
