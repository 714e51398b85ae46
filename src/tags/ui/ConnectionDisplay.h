#pragma once

#include <string>

namespace halvane {

class ProfileStore;

// How the tag editor shows the connection a tag's `Port` selects.
struct ConnectionDisplay {
    std::string portName;
    std::string protocol;
    bool operator==(const ConnectionDisplay&) const = default;
};

// Serial connections 1..3: "COM" + "comport" of their section and the name of its
// "protocolId" (empty for an id without a name); the network connection: "Network
// adapter" and "Modbus TCP"; no connection (or any other port): both empty.
ConnectionDisplay ConnectionDisplayFor(const ProfileStore& store, int port);

} // namespace halvane
