#pragma once

#include <stop_token>
#include <string>

namespace halvane::sim {

// One link on which the simulator answers requests; each runs on its own thread.
class SimServer {
public:
    virtual ~SimServer() = default;

    // Answers requests until `stop` is requested (it is looked at several times a
    // second). Throws std::runtime_error when the link fails for good.
    virtual void Run(std::stop_token stop) = 0;

    // "Modbus TCP on 127.0.0.1:1502", for the start-up line.
    virtual std::string Description() const = 0;
};

} // namespace halvane::sim
