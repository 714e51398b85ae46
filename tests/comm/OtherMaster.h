#pragma once

#include <chrono>
#include <cstdint>
#include <modbus.h>
#include <thread>
#include <vector>

namespace peers {

// Another master on the slave's TCP port (libmodbus): what a local panel or a SCADA
// next door does, and an independent look at the slave's memory.
class OtherMaster final {
public:
    explicit OtherMaster(int port) : m_context(modbus_new_tcp("127.0.0.1", port)) {
        modbus_set_response_timeout(m_context, 2, 0);
        for (int attempt = 0; attempt < 100 && modbus_connect(m_context) != 0; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~OtherMaster() {
        modbus_close(m_context);
        modbus_free(m_context);
    }
    OtherMaster(const OtherMaster&) = delete;
    OtherMaster& operator=(const OtherMaster&) = delete;

    // The registers' bytes as they are on the wire: each register's high byte first.
    std::vector<uint8_t> RegisterBytes(int unit, int address, int count) {
        std::vector<uint16_t> words(static_cast<size_t>(count));
        modbus_set_slave(m_context, unit);
        if (modbus_read_registers(m_context, address, count, words.data()) != count)
            return {};
        std::vector<uint8_t> bytes;
        for (const uint16_t word : words) {
            bytes.push_back(static_cast<uint8_t>(word >> 8));
            bytes.push_back(static_cast<uint8_t>(word));
        }
        return bytes;
    }
    int Coil(int unit, int address) {
        uint8_t bit = 0;
        modbus_set_slave(m_context, unit);
        return modbus_read_bits(m_context, address, 1, &bit) == 1 ? bit : -1;
    }
    bool SetRegister(int unit, int address, uint16_t value) {
        modbus_set_slave(m_context, unit);
        return modbus_write_register(m_context, address, value) == 1;
    }
    bool SetCoil(int unit, int address, bool on) {
        modbus_set_slave(m_context, unit);
        return modbus_write_bit(m_context, address, on ? 1 : 0) == 1;
    }

private:
    modbus_t* m_context;
};

} // namespace peers
