#include "ConnectionSettings.h"

#include "ProfileStore.h"

#include <algorithm>
#include <array>

namespace halvane {

namespace {

constexpr std::array<int, 15> kBaudRates{110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                         19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr std::array<int, 4> kDataBits{5, 6, 7, 8};
constexpr std::array<std::string_view, 5> kParity{"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<std::string_view, 3> kStopBits{"1", "1.5", "2"};
constexpr std::array<std::string_view, 3> kSerialProtocols{"Modbus ASCII", "Modbus RTU",
                                                           "AT Hayes (GSM Modem)"};

// The index stored under `key` when it lies within a table of `size` entries, else `fallback`.
int ReadIndex(const ProfileStore& store, const std::string& section, const char* key, int fallback,
              size_t size) {
    const int index = store.ReadInteger(section, key, fallback);
    return index >= 0 && static_cast<size_t>(index) < size ? index : fallback;
}

} // namespace

std::span<const int> BaudRates() {
    return kBaudRates;
}
std::span<const int> DataBitsTable() {
    return kDataBits;
}
std::span<const std::string_view> ParityNames() {
    return kParity;
}
std::span<const std::string_view> StopBitsNames() {
    return kStopBits;
}
std::span<const std::string_view> SerialProtocolNames() {
    return kSerialProtocols;
}

std::string ConnectionSection(int connection) {
    return connection == kNetworkConnection ? "Ethernet.1" : "Serial." + std::to_string(connection);
}

SerialSettings ReadSerialSettings(const ProfileStore& store, int connection) {
    const std::string s = ConnectionSection(connection);
    SerialSettings settings;
    settings.enabled = store.ReadBool(s, "enabled", false);
    settings.comport = store.ReadInteger(s, "comport", 1);
    settings.baudRate =
        kBaudRates[static_cast<size_t>(ReadIndex(store, s, "baudrateId", 6, kBaudRates.size()))];
    settings.dataBits =
        kDataBits[static_cast<size_t>(ReadIndex(store, s, "databitsId", 3, kDataBits.size()))];
    settings.parity = ReadIndex(store, s, "parityId", 0, kParity.size());
    settings.stopBits = ReadIndex(store, s, "stopbitsId", 0, kStopBits.size());
    settings.protocolId = ReadIndex(store, s, "protocolId", 0, kSerialProtocols.size());
    settings.readTimeoutMs = store.ReadInteger(s, "timeout", 300);
    settings.intervalMs = store.ReadInteger(s, "interval", 2000);
    settings.reconnect = store.ReadBool(s, "reconnect", false);
    settings.writeMode = ReadWriteMode(store, connection);
    settings.combine = store.ReadBool(s, "combine", false);
    return settings;
}

std::span<const std::string_view> WriteModeNames() {
    static constexpr std::array<std::string_view, 2> kNames{"every poll (cyclic)",
                                                            "only when a value is set"};
    return kNames;
}

WriteMode ReadWriteMode(const ProfileStore& store, int connection) {
    const int stored = store.ReadInteger(ConnectionSection(connection), "writeMode", 0);
    return stored == static_cast<int>(WriteMode::WhenSet) ? WriteMode::WhenSet : WriteMode::Cyclic;
}

NetworkSettings ReadNetworkSettings(const ProfileStore& store) {
    const std::string s = ConnectionSection(kNetworkConnection);
    NetworkSettings settings;
    settings.enabled = store.ReadBool(s, "enabled", false);
    settings.host = store.ReadString(s, "host", "localhost");
    settings.port = store.ReadInteger(s, "port", 502);
    if (const int timeout = store.ReadInteger(s, "timeout", -1); timeout >= 0)
        settings.timeoutMs = std::max(timeout, 10);
    settings.intervalMs = store.ReadInteger(s, "interval", 2000);
    settings.reconnect = store.ReadBool(s, "reconnect", false);
    settings.writeMode = ReadWriteMode(store, kNetworkConnection);
    settings.combine = store.ReadBool(s, "combine", false);
    return settings;
}

int PollInterval(const ProfileStore& store, int connection) {
    const int interval = store.ReadInteger(ConnectionSection(connection), "interval", 2000);
    return std::max(interval, connection == kNetworkConnection ? 10 : 200);
}

} // namespace halvane
