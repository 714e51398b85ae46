#include "Connections.h"

#include "ProfileStore.h"
#include "TagTable.h"
#include "TagVocabulary.h"

namespace halvane {

Connections::Connections(TagTable& tags, const ProfileStore& store, TraceSink* trace)
    : m_tags(tags), m_store(store), m_trace(trace) {}

Connections::~Connections() {
    Shutdown();
}

bool Connections::OpenSerialPort(int connection, const ProblemReport& report) {
    TComPort& port = SerialPort(connection);
    port.Close();
    const SerialSettings s = ReadSerialSettings(m_store, connection);
    if (!s.enabled)
        return true;
    port.SetPortSettings(s.PortName(), s.baudRate, s.dataBits, s.parity, s.stopBits);
    port.SetTimeouts(s.readTimeoutMs, -1);
    if (!port.Open()) {
        report({"Error while opening serial port #" + std::to_string(connection),
                "Cannot open serial port " + s.PortName() +
                    ". Please make sure if this serial port is available in your system and "
                    "was not opened by another application."});
        return false;
    }
    // Ptys and some adapters have no modem lines: nobody acts on these failing.
    port.SetRts(true);
    port.SetDtr(true);
    return true;
}

void Connections::ConnectNetwork(const ProblemReport& report) {
    m_link.Close();
    const NetworkSettings s = ReadNetworkSettings(m_store);
    if (!s.enabled)
        return;
    m_link.SetIoTimeout(s.timeoutMs.value_or(NetworkLink::kDefaultIoTimeoutMs));
    if (!m_link.Connect(s.host, s.port))
        report({"Error while connecting to the server",
                "Cannot connect to the server " + s.host +
                    ". Please make sure if this server is up and running, your connection "
                    "details are correct, or a firewall does not block connection."});
}

TransactionContext Connections::Context(int connection) const {
    TransactionContext context;
    context.connection = connection;
    context.config = &m_store;
    context.trace = m_trace;
    return context;
}

bool Connections::Setup(const ProblemReport& report) {
    bool opened = true;
    for (int n = 1; n <= kSerialConnections; ++n)
        if (!OpenSerialPort(n, report))
            opened = false;
    ConnectNetwork(report);
    // Each connection's settings are read once, for its worker and its polling.
    for (int n = 1; n <= kSerialConnections; ++n) {
        const SerialSettings s = ReadSerialSettings(m_store, n);
        TComProtocol& protocol = m_protocols[static_cast<size_t>(n - 1)];
        TransactionContext context = Context(n);
        context.protocol = static_cast<ModbusProtocol>(s.protocolId);
        context.port = &SerialPort(n);
        protocol.AttachWorker(m_tags, context, s.writeMode, s.combine);
        m_enabled[static_cast<size_t>(n - 1)] = s.enabled;
        if (s.enabled && s.reconnect)
            protocol.Worker()->ReopenPort();
    }
    const NetworkSettings s = ReadNetworkSettings(m_store);
    TComProtocol& network = m_protocols[kNetworkConnection - 1];
    TransactionContext context = Context(kNetworkConnection);
    context.protocol = ModbusProtocol::Tcp;
    context.link = &m_link;
    network.AttachWorker(m_tags, context, s.writeMode, s.combine);
    m_enabled[kNetworkConnection - 1] = s.enabled;
    if (s.enabled && s.reconnect)
        network.Worker()->ReconnectTo(s.host, s.port);
    for (TComProtocol& protocol : m_protocols)
        protocol.StartWorker(m_tags);
    return opened;
}

void Connections::Shutdown() {
    for (TComProtocol& protocol : m_protocols)
        protocol.StopWorker();
    for (TComPort& port : m_ports)
        port.Close();
    m_link.Close();
}

void Connections::PollNext(int connection) {
    if (connection >= 1 && connection <= kConnectionCount)
        m_protocols[static_cast<size_t>(connection - 1)].PollNext(m_tags);
}

int Connections::PollIntervalMs(int connection) const {
    return PollInterval(m_store, connection);
}

bool Connections::IsConnected(int connection) const {
    if (connection == kNetworkConnection)
        return m_link.IsConnected();
    return m_ports[static_cast<size_t>(connection - 1)].IsOpen();
}

// A serial device that failed is down even while its port is still open.
LinkStatus Connections::Status(int connection) const {
    const bool failed =
        connection != kNetworkConnection && m_ports[static_cast<size_t>(connection - 1)].Failed();
    if (IsConnected(connection) && !failed)
        return LinkStatus::Connected;
    return m_enabled[static_cast<size_t>(connection - 1)] ? LinkStatus::Down : LinkStatus::Disabled;
}

std::string Connections::StatusText(int connection) const {
    const std::string section = ConnectionSection(connection);
    if (connection == kNetworkConnection)
        return std::string(kNetworkConnectionName) + ", " +
               m_store.ReadString(section, "host", "localhost") + ":" +
               m_store.ReadString(section, "port", "502");
    return "Serial port " + std::to_string(connection) + ", COM" +
           std::to_string(m_store.ReadInteger(section, "comport", 1));
}

std::string Connections::LinkState(int connection) const {
    if (IsConnected(connection))
        return "Connected";
    const TComProtocolThread* worker = m_protocols[static_cast<size_t>(connection - 1)].Worker();
    const std::optional<int> seconds = worker ? worker->SecondsToReconnect() : std::nullopt;
    if (!seconds)
        return "Disconnected";
    return *seconds > 0 ? "Reconnecting in " + std::to_string(*seconds) + " s" : "Reconnecting";
}

std::string Connections::StatusHint(int connection) const {
    const std::string section = ConnectionSection(connection);
    const std::string state = LinkState(connection);
    if (connection == kNetworkConnection)
        return "Host " + m_store.ReadString(section, "host", "localhost") + ":" +
               m_store.ReadString(section, "port", "502") + ", " + state;
    return "COM" + std::to_string(m_store.ReadInteger(section, "comport", 1)) + ", " + state;
}

} // namespace halvane
