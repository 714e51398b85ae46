#pragma once

#include "ConnectionSettings.h"
#include "NetworkLink.h"
#include "TComPort.h"
#include "TComProtocol.h"

#include <array>
#include <string>
#include <vector>

namespace halvane {

class ProfileStore;
class TagTable;
class TraceSink;

// A failure of the start sequence that the user is told about in a warning box.
struct ConnectionProblem {
    std::string caption;
    std::string text;
    bool operator==(const ConnectionProblem&) const = default;
};

// The four connections with their transports: three serial ports and the network link.
// Started and stopped as a whole on the UI thread; polled by the UI thread's timers.
class Connections final {
public:
    Connections(TagTable& tags, const ProfileStore& store, TraceSink* trace);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    struct StartResult {
        bool serialPortsOpened = true; // false when an enabled serial port failed to open
        std::vector<ConnectionProblem> problems;
    };
    // Opens the ports, connects the link, attaches and starts the four workers.
    StartResult Setup();
    // Stops the workers, connection 1 first, then closes the ports and the link.
    void Shutdown();

    // One poll step of connection 1..4.
    void PollNext(int connection);
    // The poll timer's interval of connection 1..4.
    int PollIntervalMs(int connection) const;

    bool IsConnected(int connection) const;
    std::string StatusText(int connection) const;
    std::string StatusHint(int connection) const;

    TComPort& SerialPort(int connection) { return m_ports[static_cast<size_t>(connection - 1)]; }
    NetworkLink& Link() { return m_link; }

private:
    bool OpenSerialPort(int connection, std::vector<ConnectionProblem>& problems);
    void ConnectNetwork(std::vector<ConnectionProblem>& problems);

    TagTable& m_tags;
    const ProfileStore& m_store;
    TraceSink* m_trace;
    std::array<TComPort, kSerialConnections> m_ports;
    NetworkLink m_link;
    std::array<TComProtocol, kConnectionCount> m_protocols;
};

} // namespace halvane
