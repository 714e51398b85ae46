#pragma once

#include <optional>
#include <span>
#include <string>

namespace halvane {

class ProfileStore;

constexpr int kSerialConnections = 3;
constexpr int kNetworkConnection = 4;
constexpr int kConnectionCount = 4;

// Line settings by the index stored in "Serial.N" (the Connections dialog lists them in
// the same order).
std::span<const int> BaudRates();
std::span<const int> DataBitsTable();
std::span<const std::string_view> ParityNames();
std::span<const std::string_view> StopBitsNames();
std::span<const std::string_view> SerialProtocolNames();

// "Serial.1" .. "Serial.3" for connections 1..3, "Ethernet.1" for 4.
std::string ConnectionSection(int connection);

// When a connection writes its output tags: at every turn (the key "writeMode" 0 or
// absent), or only after a value was set, until that write succeeded (1).
enum class WriteMode { Cyclic = 0, WhenSet = 1 };
WriteMode ReadWriteMode(const ProfileStore& store, int connection);
// By the value stored for the mode, as the Connections dialog lists them.
std::span<const std::string_view> WriteModeNames();

struct SerialSettings {
    bool enabled = false;
    int comport = 1;
    int baudRate = 9600;
    int dataBits = 8;
    int parity = 0;   // port parity code: none, odd, even, mark, space
    int stopBits = 0; // port stop-bit code: one, one and a half, two
    int protocolId = 0;
    int readTimeoutMs = 300;
    int intervalMs = 2000;
    bool reconnect = false; // a port that failed or whose device failed is reopened
    WriteMode writeMode = WriteMode::Cyclic;
    bool combine = false; // input tags are read in blocks of neighbouring registers

    std::string PortName() const { return "COM" + std::to_string(comport); }
    bool operator==(const SerialSettings&) const = default;
};

struct NetworkSettings {
    bool enabled = false;
    std::string host = "localhost";
    int port = 502;
    std::optional<int> timeoutMs; // when present, the link's wait for each read and write
    int intervalMs = 2000;
    bool reconnect = false; // a link that dropped or failed to connect is tried again
    WriteMode writeMode = WriteMode::Cyclic;
    bool combine = false; // input tags are read in blocks of neighbouring registers

    bool operator==(const NetworkSettings&) const = default;
};

// The settings of serial connection 1..3. An index outside its table (a hand-edited
// file, or −1 from a list without a selection) takes the key's default.
SerialSettings ReadSerialSettings(const ProfileStore& store, int connection);
NetworkSettings ReadNetworkSettings(const ProfileStore& store);

// The poll timer's interval: the stored one, at least 200 ms for serial connections
// and 10 ms for the network connection.
int PollInterval(const ProfileStore& store, int connection);

} // namespace halvane
