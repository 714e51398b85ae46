#pragma once

#include "ConnectionSettings.h"

#include <array>
#include <string>
#include <vector>

namespace halvane {

class ProfileStore;

// What the Connections dialog holds for one serial connection: its lists as the values
// stored for them, its editable lists as their texts. The initial values are the
// dialog's defaults.
struct SerialPanelValues {
    bool enabled = false;
    int comport = 1;
    int baudrateId = 6;
    int protocolId = 0;
    int databitsId = 3;
    int parityId = 0;
    int stopbitsId = 0;
    std::string timeout = "300";
    std::string interval = "2000";
    bool reconnect = false;                  // "Reconnect automatically"
    WriteMode writeMode = WriteMode::Cyclic; // "Write outputs:"
    bool combine = false;                    // "Combine requests"

    bool operator==(const SerialPanelValues&) const = default;
};

// What the dialog holds for the network connection, every field as its text.
struct NetworkPanelValues {
    bool enabled = false;
    std::string host = "localhost";
    std::string port = "502";
    std::string timeout = "300";
    std::string interval = "2000";
    bool reconnect = false;                  // "Reconnect automatically"
    WriteMode writeMode = WriteMode::Cyclic; // "Write outputs:"
    bool combine = false;                    // "Combine requests"

    bool operator==(const NetworkPanelValues&) const = default;
};

struct ConnectionsDialogValues {
    std::array<SerialPanelValues, kSerialConnections> serial; // connections 1..3
    NetworkPanelValues network;

    bool operator==(const ConnectionsDialogValues&) const = default;
};

// The stored settings of the four connections; an absent key gives the default above.
// A line setting whose index lies outside its table shows the one that opening the port
// uses instead; the port number and the texts are taken as stored.
ConnectionsDialogValues LoadConnectionsDialogValues(const ProfileStore& store);

// "Set defaults" of a serial connection: data bits, parity, stop bits, the two times and
// reconnection on; its port, baud rate, protocol and "Enabled" stay.
void SetSerialDefaults(SerialPanelValues& values);
// "Set defaults" of the network connection: port, the two times and reconnection on; host
// and "Enabled" stay.
void SetNetworkDefaults(NetworkPanelValues& values);

// Whether serial connection `index` (0..2) is set to the port of another serial connection
// that is enabled. Its own "Enabled" does not count.
bool PortOfAnotherEnabled(const ConnectionsDialogValues& values, int index);

struct KeyWrite {
    std::string section;
    std::string key;
    std::string value;

    bool operator==(const KeyWrite&) const = default;
};

// What "Save" writes, in order: for Serial.1, Serial.2 and Serial.3 comport, baudrateId,
// protocolId, databitsId, parityId, stopbitsId, timeout, interval and enabled; then for
// Ethernet.1 enabled, host, port, timeout and interval; then reconnect of the four sections
// in connection order, writeMode of the four and last combine of the four. Number texts are
// written as decimal integers. The first text that is not an integer, or a network port
// outside 1..65535, ends the list before its key, and the save is not complete.
struct ConnectionsSave {
    std::vector<KeyWrite> writes;
    bool complete = true;
};
ConnectionsSave PlanConnectionsSave(const ConnectionsDialogValues& values);

enum class ConnectionsSaveResult { Saved, BadNumber, WriteFailed };

// Writes the plan in one file write, the keys before a bad number too. WriteFailed when
// the file could not be written: it then holds none of the writes.
ConnectionsSaveResult SaveConnectionsDialogValues(ProfileStore& store,
                                                  const ConnectionsDialogValues& values);

// How the dialog lists port n: "COM3 (/dev/ttyUSB0)", with the device it reaches now.
std::string PortItemText(int comport);

} // namespace halvane
