#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace halvane {

// The protocol identifier of a connection, as stored in its settings.
enum class ModbusProtocol : uint8_t {
    Ascii = 0, // ':' + upper-case hexadecimal text + LRC + CR LF
    Rtu = 1,   // raw bytes + CRC-16
    Modem = 2, // "AT Hayes (GSM Modem)": the bare request and reply, no checksum
    Tcp = 3,   // MBAP header + raw bytes
};

// Function codes as sent on the wire; a tag's `Function` index is the code minus 1.
enum class ModbusFunction : uint8_t {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteSingleCoil = 5,
    WriteSingleRegister = 6,
    WriteMultipleRegisters = 16,
};

// The function of a tag's `Function` index: 0..5 send index + 1, 6 sends Write Multiple
// Registers; nothing for any other index.
std::optional<ModbusFunction> FunctionFromIndex(int functionIndex);

constexpr bool IsWriteFunction(ModbusFunction function) {
    return function >= ModbusFunction::WriteSingleCoil;
}

constexpr bool IsBitRead(ModbusFunction function) {
    return function == ModbusFunction::ReadCoils || function == ModbusFunction::ReadDiscreteInputs;
}

// No data type is wider than 8 bytes, the size of the value buffer.
constexpr uint8_t kMaxRegisterCount = 4;

// The most one read request may ask for, by the Modbus standard.
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxReadBits = 2000;

// The quantity a read asks for, for a data type of `byteLength` bytes: one register per
// two bytes, at least 1 (a byte-wide or unknown type still reads one), at most
// kMaxRegisterCount.
uint8_t RegisterCount(int byteLength);

// Slave address, function code, register address (high, low), then the count (high,
// low) of a read or the value (high, low) of a single write; a multiple write goes on
// with the register count (high, low), the byte count and the registers' bytes. Every
// framing carries these bytes.
constexpr size_t kSingleRequestCoreLength = 6;
constexpr size_t kMaxRequestCoreLength = kSingleRequestCoreLength + 1 + 2 * kMaxRegisterCount;

// One request for one tag. Built only through Make and MakeWriteRegisters, so a Write
// Single Coil request can carry nothing but 0xFF00 or 0x0000.
class ModbusRequest final {
public:
    // A read asks for RegisterCount(byteLength) items and ignores `writeValue`; a write
    // ignores `byteLength`. Write Single Coil sends 0xFF00 for any non-zero value and
    // 0x0000 for zero (a slave rejects or misreads anything else); Write Single Register
    // sends the value as it is. The slave address and the register address are sent as
    // their low 8 and 16 bits.
    static ModbusRequest Make(ModbusFunction function, int moduleAddr, int registerAddr,
                              int byteLength, uint16_t writeValue);
    // A read of `quantity` registers or bits from `start`, at most what one request may ask
    // for (kMaxReadRegisters, kMaxReadBits).
    static ModbusRequest MakeRead(ModbusFunction function, int moduleAddr, int start, int quantity);
    // Write Multiple Registers of `data` as it goes on the wire (the first register's
    // high byte first): whole registers, 1 to kMaxRegisterCount of them; bytes beyond
    // those are dropped, a missing byte of the first register is sent as 0.
    static ModbusRequest MakeWriteRegisters(int moduleAddr, int registerAddr,
                                            std::span<const uint8_t> data);

    ModbusFunction Function() const { return static_cast<ModbusFunction>(m_core[1]); }
    // The configured slave address, compared as a whole number with a reply's address.
    int ModuleAddr() const { return m_moduleAddr; }
    // The quantity of a read request or a multiple write (for a single write: the low
    // byte of the value).
    uint8_t Count() const { return m_core[5]; }
    // The whole 16-bit quantity of a read request or a multiple write.
    uint16_t Quantity() const { return static_cast<uint16_t>(m_core[4] << 8 | m_core[5]); }
    std::span<const uint8_t> Core() const { return std::span(m_core).first(m_length); }

    bool operator==(const ModbusRequest&) const = default;

private:
    ModbusRequest(int moduleAddr, int registerAddr, ModbusFunction function);
    void Append(uint8_t byte) { m_core[m_length++] = byte; }
    static ModbusRequest WithField(ModbusFunction function, int moduleAddr, int registerAddr,
                                   uint16_t field);

    int m_moduleAddr;
    std::array<uint8_t, kMaxRequestCoreLength> m_core{};
    size_t m_length = 0;
};

} // namespace halvane
