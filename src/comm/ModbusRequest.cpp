#include "ModbusRequest.h"

#include <algorithm>

namespace halvane {

namespace {

uint16_t FieldValue(ModbusFunction function, int byteLength, uint16_t writeValue) {
    switch (function) {
    case ModbusFunction::WriteSingleCoil:
        return writeValue != 0 ? 0xFF00 : 0x0000;
    case ModbusFunction::WriteSingleRegister:
        return writeValue;
    default:
        return RegisterCount(byteLength);
    }
}

} // namespace

std::optional<ModbusFunction> FunctionFromIndex(int functionIndex) {
    constexpr int kWriteRegistersIndex = 6;
    if (functionIndex == kWriteRegistersIndex)
        return ModbusFunction::WriteMultipleRegisters;
    if (functionIndex < 0 || functionIndex > 5)
        return std::nullopt;
    return static_cast<ModbusFunction>(functionIndex + 1);
}

uint8_t RegisterCount(int byteLength) {
    return static_cast<uint8_t>(std::clamp(byteLength / 2, 1, int{kMaxRegisterCount}));
}

ModbusRequest::ModbusRequest(int moduleAddr, int registerAddr, ModbusFunction function)
    : m_moduleAddr(moduleAddr) {
    Append(static_cast<uint8_t>(moduleAddr));
    Append(static_cast<uint8_t>(function));
    Append(static_cast<uint8_t>(registerAddr >> 8));
    Append(static_cast<uint8_t>(registerAddr));
}

ModbusRequest ModbusRequest::Make(ModbusFunction function, int moduleAddr, int registerAddr,
                                  int byteLength, uint16_t writeValue) {
    return WithField(function, moduleAddr, registerAddr,
                     FieldValue(function, byteLength, writeValue));
}

ModbusRequest ModbusRequest::MakeRead(ModbusFunction function, int moduleAddr, int start,
                                      int quantity) {
    const int most = IsBitRead(function) ? kMaxReadBits : kMaxReadRegisters;
    return WithField(function, moduleAddr, start,
                     static_cast<uint16_t>(std::clamp(quantity, 1, most)));
}

ModbusRequest ModbusRequest::MakeWriteRegisters(int moduleAddr, int registerAddr,
                                                std::span<const uint8_t> data) {
    ModbusRequest request(moduleAddr, registerAddr, ModbusFunction::WriteMultipleRegisters);
    const size_t count = std::clamp<size_t>(data.size() / 2, 1, kMaxRegisterCount);
    request.Append(0);
    request.Append(static_cast<uint8_t>(count));
    request.Append(static_cast<uint8_t>(2 * count));
    for (size_t i = 0; i < 2 * count; ++i)
        request.Append(i < data.size() ? data[i] : 0);
    return request;
}

ModbusRequest ModbusRequest::WithField(ModbusFunction function, int moduleAddr, int registerAddr,
                                       uint16_t field) {
    ModbusRequest request(moduleAddr, registerAddr, function);
    request.Append(static_cast<uint8_t>(field >> 8));
    request.Append(static_cast<uint8_t>(field));
    return request;
}

} // namespace halvane
