#pragma once

#include "Handles.h"
#include "PlantModel.h"
#include "SimOptions.h"
#include "SimServer.h"

#include <vector>

namespace halvane::sim {

// Modbus TCP for any number of masters at once. A request is answered from the unit
// that its unit identifier names; a unit that is not served gets exception 0B (gateway
// target device failed to respond).
class TcpServer final : public SimServer {
public:
    // Listens at once; throws std::runtime_error naming the address when it cannot.
    TcpServer(const TcpEndpoint& endpoint, PlantModel& model);

    void Run(std::stop_token stop) override;
    std::string Description() const override;

private:
    void Accept();
    bool Answer(int client); // false: the master left or sent something that is not Modbus TCP

    PlantModel& m_model;
    ContextPtr m_context; // borrows each client's socket while it answers it
    UniqueFd m_listener;
    std::vector<UniqueFd> m_clients;
};

} // namespace halvane::sim
