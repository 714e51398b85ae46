#pragma once

#include "ConnectionSettings.h"
#include "NetworkLink.h"
#include "TComPort.h"
#include "TComProtocol.h"

#include <array>
#include <functional>
#include <string>

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

// How a connection stands for the user: its port or link is up; it is enabled but down
// (it failed to open, dropped, or waits to be brought back); or it is not used.
enum class LinkStatus { Connected, Down, Disabled };

// The four connections with their transports: three serial ports and the network link.
// Started and stopped as a whole on the UI thread; polled by the UI thread's timers.
class Connections final {
public:
    Connections(TagTable& tags, const ProfileStore& store, TraceSink* trace);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // Told about each failure of the start sequence (the UI shows it in a warning box).
    using ProblemReport = std::function<void(const ConnectionProblem&)>;
    // Opens the ports, connects the link, attaches and starts the four workers. Each
    // failure is reported before the next port is tried; false when an enabled serial
    // port failed to open.
    bool Setup(const ProblemReport& report);
    // Stops the workers, connection 1 first, cutting short any transaction under way
    // whatever its timeout, then closes the ports and the link.
    void Shutdown();

    // One poll step of connection 1..4.
    void PollNext(int connection);
    // The poll timer's interval of connection 1..4.
    int PollIntervalMs(int connection) const;

    bool IsConnected(int connection) const;
    LinkStatus Status(int connection) const;
    std::string StatusText(int connection) const;
    std::string StatusHint(int connection) const;

    TComPort& SerialPort(int connection) { return m_ports[static_cast<size_t>(connection - 1)]; }
    NetworkLink& Link() { return m_link; }

private:
    bool OpenSerialPort(int connection, const ProblemReport& report);
    void ConnectNetwork(const ProblemReport& report);
    // "Connected", "Disconnected", or when the link is tried again "Reconnecting in N s".
    std::string LinkState(int connection) const;
    // What every transaction of `connection` shares, before its transport.
    TransactionContext Context(int connection) const;

    TagTable& m_tags;
    const ProfileStore& m_store;
    TraceSink* m_trace;
    std::array<TComPort, kSerialConnections> m_ports;
    NetworkLink m_link;
    std::array<TComProtocol, kConnectionCount> m_protocols;
    // Which connections the last start of communication found enabled.
    std::array<bool, kConnectionCount> m_enabled{};
};

} // namespace halvane
