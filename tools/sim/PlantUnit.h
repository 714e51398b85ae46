#pragma once

#include "Handles.h"

namespace halvane::sim {

// One slave of the simulator: its register tables (RegisterMap.h) and the small plant
// behind them. A water tank is fed by an inflow that swells and ebbs; a pump that a
// master switches on the pump coil drains it at the speed that the master sets.
class PlantUnit final {
public:
    explicit PlantUnit(int address);

    modbus_mapping_t* Mapping() { return m_mapping.get(); }

    // Moves the plant on to `seconds` after the start, with the pump as the registers
    // command it now (what masters last wrote), and publishes the new values.
    void AdvanceTo(double seconds);

private:
    void Publish();
    double Inflow(double seconds) const; // l/s
    double Temperature() const;          // °C
    bool PumpOn() const;
    int PumpSpeed() const; // percent

    int m_address;
    MappingPtr m_mapping;
    double m_phase;    // seconds: each unit's waves are shifted, so units differ
    double m_time = 0; // seconds after the start
    double m_level;    // mm
};

} // namespace halvane::sim
