#include "PlantModel.h"

namespace halvane::sim {

PlantModel::PlantModel(const std::vector<int>& units, bool moving)
    : m_moving(moving), m_start(std::chrono::steady_clock::now()) {
    for (int unit : units)
        m_units.try_emplace(unit, unit);
}

std::vector<int> PlantModel::Units() const {
    std::vector<int> units;
    for (const auto& [unit, plant] : m_units)
        units.push_back(unit);
    return units;
}

bool PlantModel::Serves(int unit) const {
    return m_units.contains(unit);
}

int PlantModel::Serve(int unit, const std::function<int(modbus_mapping_t*)>& reply) {
    const std::lock_guard lock(m_mutex);
    PlantUnit& plant = m_units.at(unit);
    plant.AdvanceTo(Elapsed());
    return reply(plant.Mapping());
}

double PlantModel::Elapsed() const {
    if (!m_moving)
        return 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

} // namespace halvane::sim
