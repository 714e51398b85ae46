#include "PlantUnit.h"

#include "RegisterMap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <numbers>

namespace halvane::sim {

namespace {

// The tank has a floor of 1 m², so 1 l/s changes the level by 1 mm/s.
constexpr double kTankHeightMm = 5000;
constexpr double kStartLevelMm = 2500;
constexpr double kLevelHighMm = 4500;
constexpr double kLevelLowMm = 500;
constexpr double kPumpFlowPerPercent = 1.0; // l/s: 100 l/s at full speed
constexpr double kMeanInflow = 40;          // l/s
constexpr double kInflowSwing = 30;         // l/s
constexpr double kInflowPeriod = 120;       // s
constexpr double kPhasePerUnit = 15;        // s
constexpr double kMaxStep = 0.5;            // s: longer spans are integrated in steps
constexpr int kStartSetpoint = 50;          // percent

double Wave(double seconds, double period) {
    return std::sin(2 * std::numbers::pi * seconds / period);
}

std::uint16_t ToRegister(double value) {
    return static_cast<std::uint16_t>(std::lround(value));
}

// Lays `value` out as `count` registers, the most significant first.
void PutWords(std::uint16_t* at, std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i, value >>= 16)
        at[i] = static_cast<std::uint16_t>(value);
}

std::uint32_t SwapWords(std::uint32_t value) {
    return (value << 16) | (value >> 16);
}

void FillTestWords(std::uint16_t* table, int u) {
    namespace t = reg::test;
    std::uint16_t* block = table + reg::kTestBlock;
    block[t::kByte] = reg::TestByteRegister(u);
    block[t::kWord] = reg::TestWord(u);
    block[t::kNegativeWord] = static_cast<std::uint16_t>(reg::TestNegativeWord(u));
    PutWords(block + t::kDoubleWordAbCd, reg::TestDoubleWord(u), 2);
    PutWords(block + t::kDoubleWordCdAb, SwapWords(reg::TestDoubleWord(u)), 2);
    const auto single = std::bit_cast<std::uint32_t>(reg::TestFloat(u));
    PutWords(block + t::kFloatAbCd, single, 2);
    PutWords(block + t::kFloatCdAb, SwapWords(single), 2);
    PutWords(block + t::kDouble, std::bit_cast<std::uint64_t>(reg::TestDouble(u)), 4);
    block[t::kBits] = reg::TestBitsRegister(u);
}

void FillTestBits(std::uint8_t* table, std::uint8_t pattern) {
    for (int i = 0; i < 8; ++i)
        table[reg::kTestBlock + i] = (pattern >> i) & 1;
}

MappingPtr NewMapping() {
    MappingPtr mapping(modbus_mapping_new(reg::kBitCount, reg::kBitCount, reg::kRegisterCount,
                                          reg::kRegisterCount));
    if (!mapping)
        throw std::bad_alloc();
    return mapping;
}

} // namespace

PlantUnit::PlantUnit(int address)
    : m_address(address), m_mapping(NewMapping()), m_phase(kPhasePerUnit * address),
      m_level(kStartLevelMm) {
    FillTestWords(m_mapping->tab_registers, m_address);
    FillTestWords(m_mapping->tab_input_registers, m_address);
    FillTestBits(m_mapping->tab_bits, reg::TestBitPattern(m_address));
    FillTestBits(m_mapping->tab_input_bits, reg::TestInputPattern(m_address));
    m_mapping->tab_registers[reg::kSpeedSetpoint] = kStartSetpoint;
    Publish();
}

void PlantUnit::AdvanceTo(double seconds) {
    while (m_time < seconds) {
        const double step = std::min(kMaxStep, seconds - m_time);
        const double net = Inflow(m_time + step / 2) - PumpSpeed() * kPumpFlowPerPercent;
        m_level = std::clamp(m_level + net * step, 0.0, kTankHeightMm);
        m_time += step;
    }
    Publish();
}

void PlantUnit::Publish() {
    std::uint16_t* in = m_mapping->tab_input_registers;
    in[reg::kLevel] = ToRegister(m_level);
    in[reg::kTemperature] = static_cast<std::uint16_t>(std::lround(Temperature() * 10));
    in[reg::kPumpSpeed] = static_cast<std::uint16_t>(PumpSpeed());
    in[reg::kInflow] = ToRegister(Inflow(m_time) * 10);
    std::uint8_t* inputs = m_mapping->tab_input_bits;
    inputs[reg::kPumpRunning] = PumpOn();
    inputs[reg::kLevelHigh] = m_level >= kLevelHighMm;
    inputs[reg::kLevelLow] = m_level <= kLevelLowMm;
}

double PlantUnit::Inflow(double seconds) const {
    return kMeanInflow + kInflowSwing * Wave(seconds + m_phase, kInflowPeriod);
}

double PlantUnit::Temperature() const {
    const double t = m_time + m_phase;
    return 15 + 6 * Wave(t, 600) + 0.4 * Wave(t, 23);
}

bool PlantUnit::PumpOn() const {
    return m_mapping->tab_bits[reg::kPumpCommand] != 0;
}

int PlantUnit::PumpSpeed() const {
    return PumpOn() ? std::min<int>(m_mapping->tab_registers[reg::kSpeedSetpoint], 100) : 0;
}

} // namespace halvane::sim
