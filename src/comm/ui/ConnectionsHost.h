#pragma once

#include <optional>

namespace halvane {

// What the Connections dialog asks of the station that runs the connections. The main
// window implements it.
class ConnectionsHost {
public:
    virtual ~ConnectionsHost() = default;
    // The stop sequence: poll timers, workers, ports and the network link.
    virtual void ShutdownConnections() = 0;
    // The start sequence with the settings as stored now; each failure is shown to the
    // user as it happens. False when an enabled serial port failed to open.
    virtual bool SetupConnections() = 0;
    // Relabels the connections in the navigation tree.
    virtual void ShowConnectionStatus() = 0;
    // Whether connection 1..4 is open or connected; nothing when that cannot be told.
    virtual std::optional<bool> IsConnectionOpen(int connection) const = 0;
};

} // namespace halvane
