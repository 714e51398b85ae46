#include "ConnectionsDialogValues.h"

#include "DataRoot.h"
#include "NumberFormat.h"
#include "ProfileStore.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <span>

namespace halvane {

namespace {

constexpr int kLowestTcpPort = 1;
constexpr int kHighestTcpPort = 65535;

int IndexOf(std::span<const int> table, int value) {
    return static_cast<int>(std::ranges::find(table, value) - table.begin());
}

SerialPanelValues LoadSerialPanel(const ProfileStore& store, int connection) {
    const SerialSettings line = ReadSerialSettings(store, connection);
    const std::string section = ConnectionSection(connection);
    SerialPanelValues values;
    values.enabled = line.enabled;
    values.comport = line.comport;
    values.baudrateId = IndexOf(BaudRates(), line.baudRate);
    values.protocolId = line.protocolId;
    values.databitsId = IndexOf(DataBitsTable(), line.dataBits);
    values.parityId = line.parity;
    values.stopbitsId = line.stopBits;
    values.timeout = store.ReadString(section, "timeout", values.timeout);
    values.interval = store.ReadString(section, "interval", values.interval);
    values.reconnect = line.reconnect;
    values.writeMode = line.writeMode;
    values.combine = line.combine;
    return values;
}

NetworkPanelValues LoadNetworkPanel(const ProfileStore& store) {
    const std::string section = ConnectionSection(kNetworkConnection);
    NetworkPanelValues values;
    values.enabled = store.ReadBool(section, "enabled", values.enabled);
    values.host = store.ReadString(section, "host", values.host);
    values.port = store.ReadString(section, "port", values.port);
    values.timeout = store.ReadString(section, "timeout", values.timeout);
    values.interval = store.ReadString(section, "interval", values.interval);
    values.reconnect = store.ReadBool(section, "reconnect", values.reconnect);
    values.writeMode = ReadWriteMode(store, kNetworkConnection);
    values.combine = store.ReadBool(section, "combine", values.combine);
    return values;
}

// The writes of one section, appended to the save until it meets a bad number.
class SectionWrites final {
public:
    SectionWrites(ConnectionsSave& save, int connection)
        : m_save(save), m_section(ConnectionSection(connection)) {}

    void Integer(const char* key, int value) { Add(key, std::to_string(value)); }
    void Flag(const char* key, bool value) { Add(key, value ? "1" : "0"); }
    void Text(const char* key, const std::string& value) { Add(key, value); }
    void Number(const char* key, const std::string& text, int lowest = INT_MIN,
                int highest = INT_MAX) {
        const std::optional<int> number = ParseInteger(text);
        if (number && *number >= lowest && *number <= highest)
            Integer(key, *number);
        else
            m_save.complete = false;
    }

private:
    void Add(const char* key, const std::string& value) {
        if (m_save.complete)
            m_save.writes.push_back({m_section, key, value});
    }

    ConnectionsSave& m_save;
    std::string m_section;
};

void PlanSerial(ConnectionsSave& save, int connection, const SerialPanelValues& values) {
    SectionWrites s(save, connection);
    s.Integer("comport", values.comport);
    s.Integer("baudrateId", values.baudrateId);
    s.Integer("protocolId", values.protocolId);
    s.Integer("databitsId", values.databitsId);
    s.Integer("parityId", values.parityId);
    s.Integer("stopbitsId", values.stopbitsId);
    s.Number("timeout", values.timeout);
    s.Number("interval", values.interval);
    s.Flag("enabled", values.enabled);
}

void PlanNetwork(ConnectionsSave& save, const NetworkPanelValues& values) {
    SectionWrites s(save, kNetworkConnection);
    s.Flag("enabled", values.enabled);
    s.Text("host", values.host);
    // A port that no socket can have would only fail at every start.
    s.Number("port", values.port, kLowestTcpPort, kHighestTcpPort);
    s.Number("timeout", values.timeout);
    s.Number("interval", values.interval);
}

} // namespace

ConnectionsDialogValues LoadConnectionsDialogValues(const ProfileStore& store) {
    ConnectionsDialogValues values;
    for (int n = 1; n <= kSerialConnections; ++n)
        values.serial[static_cast<size_t>(n - 1)] = LoadSerialPanel(store, n);
    values.network = LoadNetworkPanel(store);
    return values;
}

void SetSerialDefaults(SerialPanelValues& values) {
    const SerialPanelValues defaults;
    values.databitsId = defaults.databitsId;
    values.parityId = defaults.parityId;
    values.stopbitsId = defaults.stopbitsId;
    values.timeout = defaults.timeout;
    values.interval = defaults.interval;
    values.reconnect = true;
}

void SetNetworkDefaults(NetworkPanelValues& values) {
    const NetworkPanelValues defaults;
    values.port = defaults.port;
    values.timeout = defaults.timeout;
    values.interval = defaults.interval;
    values.reconnect = true;
}

bool PortOfAnotherEnabled(const ConnectionsDialogValues& values, int index) {
    const SerialPanelValues& own = values.serial[static_cast<size_t>(index)];
    return std::ranges::any_of(values.serial, [&own](const SerialPanelValues& panel) {
        return &panel != &own && panel.enabled && panel.comport == own.comport;
    });
}

ConnectionsSave PlanConnectionsSave(const ConnectionsDialogValues& values) {
    ConnectionsSave save;
    for (int n = 1; n <= kSerialConnections; ++n)
        PlanSerial(save, n, values.serial[static_cast<size_t>(n - 1)]);
    PlanNetwork(save, values.network);
    for (int n = 1; n <= kSerialConnections; ++n)
        SectionWrites(save, n).Flag("reconnect",
                                    values.serial[static_cast<size_t>(n - 1)].reconnect);
    SectionWrites(save, kNetworkConnection).Flag("reconnect", values.network.reconnect);
    for (int n = 1; n <= kSerialConnections; ++n)
        SectionWrites(save, n).Integer(
            "writeMode", static_cast<int>(values.serial[static_cast<size_t>(n - 1)].writeMode));
    SectionWrites(save, kNetworkConnection)
        .Integer("writeMode", static_cast<int>(values.network.writeMode));
    for (int n = 1; n <= kSerialConnections; ++n)
        SectionWrites(save, n).Flag("combine", values.serial[static_cast<size_t>(n - 1)].combine);
    SectionWrites(save, kNetworkConnection).Flag("combine", values.network.combine);
    return save;
}

ConnectionsSaveResult SaveConnectionsDialogValues(ProfileStore& store,
                                                  const ConnectionsDialogValues& values) {
    const ConnectionsSave save = PlanConnectionsSave(values);
    ProfileStore::Batch batch(store);
    for (const KeyWrite& write : save.writes)
        store.WriteString(write.section, write.key, write.value);
    if (!batch.Commit())
        return ConnectionsSaveResult::WriteFailed;
    return save.complete ? ConnectionsSaveResult::Saved : ConnectionsSaveResult::BadNumber;
}

std::string PortItemText(int comport) {
    return "COM" + std::to_string(comport) + " (" + ResolveComDevice(comport) + ")";
}

} // namespace halvane
