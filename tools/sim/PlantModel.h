#pragma once

#include "PlantUnit.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace halvane::sim {

// The units that the simulator serves, shared by its servers (one thread each).
class PlantModel final {
public:
    // `moving` false freezes the clock: values then change only through writes.
    PlantModel(const std::vector<int>& units, bool moving);

    std::vector<int> Units() const;
    bool Serves(int unit) const;

    // Runs `reply` on the registers of `unit` (which it must serve) under the model's
    // lock, after moving the plant on to now; what the request writes takes effect from
    // the next request on. Returns what `reply` returns.
    int Serve(int unit, const std::function<int(modbus_mapping_t*)>& reply);

private:
    double Elapsed() const;

    const bool m_moving;
    const std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
    std::map<int, PlantUnit> m_units; // the set of keys never changes after construction
};

} // namespace halvane::sim
