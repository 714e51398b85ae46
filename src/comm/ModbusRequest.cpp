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
    if (functionIndex < 0 || functionIndex > 5)
        return std::nullopt;
    return static_cast<ModbusFunction>(functionIndex + 1);
}

uint8_t RegisterCount(int byteLength) {
    return static_cast<uint8_t>(std::clamp(byteLength / 2, 1, int{kMaxRegisterCount}));
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

ModbusRequest ModbusRequest::WithField(ModbusFunction function, int moduleAddr, int registerAddr,
                                       uint16_t field) {
    return ModbusRequest(
        moduleAddr, {static_cast<uint8_t>(moduleAddr), static_cast<uint8_t>(function),
                     static_cast<uint8_t>(registerAddr >> 8), static_cast<uint8_t>(registerAddr),
                     static_cast<uint8_t>(field >> 8), static_cast<uint8_t>(field)});
}

} // namespace halvane
