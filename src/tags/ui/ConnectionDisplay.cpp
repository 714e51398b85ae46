#include "ConnectionDisplay.h"

#include "ConnectionSettings.h"
#include "ProfileStore.h"

namespace halvane {

ConnectionDisplay ConnectionDisplayFor(const ProfileStore& store, int port) {
    if (port == kNetworkConnection)
        return {"Network adapter", "Modbus TCP"};
    if (port < 1 || port > kSerialConnections)
        return {};
    ConnectionDisplay display;
    display.portName = ReadSerialSettings(store, port).PortName();
    // Read as stored: an id outside the table shows no name rather than the default's.
    const int protocolId = store.ReadInteger(ConnectionSection(port), "protocolId", 0);
    const auto names = SerialProtocolNames();
    if (protocolId >= 0 && static_cast<size_t>(protocolId) < names.size())
        display.protocol = std::string(names[static_cast<size_t>(protocolId)]);
    return display;
}

} // namespace halvane
