#pragma once

#include <cstdint>

// The registers that every unit of the simulator serves. Addresses are the zero-based
// addresses carried in the request, one address space per table.
namespace halvane::sim::reg {

// Coils (read with function 1, written with 5 or 15).
constexpr int kPumpCommand = 0; // the pump runs while this coil is on

// Discrete inputs (function 2).
constexpr int kPumpRunning = 0;
constexpr int kLevelHigh = 1; // level at or above 4500 mm
constexpr int kLevelLow = 2;  // level at or below 500 mm

// Holding registers (read with 3, written with 6 or 16).
constexpr int kSpeedSetpoint = 0; // pump speed in percent; values above 100 count as 100

// Input registers (function 4).
constexpr int kLevel = 0;       // tank level in mm, 0..5000
constexpr int kTemperature = 1; // water temperature in 0.1 °C, signed
constexpr int kPumpSpeed = 2;   // percent: the setpoint while the pump runs, else 0
constexpr int kInflow = 3;      // inflow into the tank in 0.1 l/s

// Test block: fixed values of every data type, the same words in the holding and in the
// input registers. Eight test coils and eight test discrete inputs start at the same address.
constexpr int kTestBlock = 100;

// Word offsets inside the test block.
namespace test {
constexpr int kByte = 0;           // 0xA5 in the high byte, the unit address in the low byte
constexpr int kWord = 1;           // unsigned
constexpr int kNegativeWord = 2;   // two's complement
constexpr int kDoubleWordAbCd = 3; // 2 registers, high word first
constexpr int kDoubleWordCdAb = 5; // 2 registers, low word first
constexpr int kFloatAbCd = 7;      // IEEE 754 single, high word first
constexpr int kFloatCdAb = 9;      // IEEE 754 single, low word first
constexpr int kDouble = 11;        // IEEE 754 double, 4 registers, most significant first
constexpr int kBits = 15;          // bit pattern for masked-bit reads
constexpr int kLength = 16;
} // namespace test

// Table sizes: a request that reaches beyond them is answered with exception 02.
constexpr int kBitCount = kTestBlock + 8;
constexpr int kRegisterCount = kTestBlock + test::kLength;

// The test values of unit u (1..247); every unit holds different ones, so that a reply
// that belongs to another unit shows.
constexpr std::uint16_t TestByteRegister(int u) {
    return static_cast<std::uint16_t>(0xA500 | u);
}
constexpr std::uint16_t TestWord(int u) {
    return static_cast<std::uint16_t>(12000 + u);
}
constexpr std::int16_t TestNegativeWord(int u) {
    return static_cast<std::int16_t>(-1000 - u);
}
constexpr std::uint32_t TestDoubleWord(int u) {
    return 1000000u + static_cast<std::uint32_t>(u);
}
constexpr float TestFloat(int u) {
    return 100.25f + static_cast<float>(u);
}
constexpr double TestDouble(int u) {
    return 1234567.890625 + u;
}
// Low byte of the bits register, and the test coils (coil 100 + i is bit i).
constexpr std::uint8_t TestBitPattern(int u) {
    return static_cast<std::uint8_t>(0xA5 ^ u);
}
constexpr std::uint16_t TestBitsRegister(int u) {
    return static_cast<std::uint16_t>(0x3C00 | TestBitPattern(u));
}
// The test discrete inputs (input 100 + i is bit i).
constexpr std::uint8_t TestInputPattern(int u) {
    return static_cast<std::uint8_t>(0x5A ^ u);
}

} // namespace halvane::sim::reg
