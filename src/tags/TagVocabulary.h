#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace halvane {

struct DataTypeInfo {
    int id;
    std::string_view name;
    int byteLength;
};

// In the order of the tag editor's list.
std::span<const DataTypeInfo> DataTypes();
// The table entry of a data type id; ids 28..35 (bits 8..15) and unknown ids have none.
std::optional<DataTypeInfo> FindDataType(int id);
// Byte length of a data type id, 0 for an id that is not in the table.
int DataTypeByteLength(int id);
constexpr bool IsFloatDataType(int id) {
    return id >= 100;
}

constexpr int kDataTypeWord = 0;
constexpr int kDataTypeByte = 1;
constexpr int kDataTypeDoubleWord = 2;
constexpr int kDataTypeMaskedBit0 = 20;
constexpr int kDataTypeMaskedBit15 = 35;
constexpr int kDataTypeFloatSingle = 101;
constexpr int kDataTypeFloatDouble = 102;

struct FunctionInfo {
    std::string_view editorText;
    std::string_view listText;
};
// Indexed by `Function`; the Modbus function code sent is index + 1, except for Write
// Multiple Registers (16).
std::span<const FunctionInfo> Functions();
constexpr int kFunctionReadCoils = 0;
constexpr int kFunctionReadDiscreteInputs = 1;
constexpr int kFunctionWriteCoil = 4;
constexpr int kFunctionWriteRegister = 5;
constexpr int kFunctionWriteRegisters = 6;
// The tag list's text of a function index, "Unknown" outside the table.
std::string_view FunctionListText(int function);

struct PortInfo {
    std::string_view editorText;
    std::string_view listText;
};
// Indexed by `Port`: 0 is no connection, 1..3 the serial lines, 4 the network link.
std::span<const PortInfo> Ports();
// The network link's name in every window that names it (tag editor, navigator, connections).
inline constexpr std::string_view kNetworkConnectionName = "Network 1";

// Indexed by `Linear`.
std::span<const std::string_view> ConversionModes();

// Indexed by `AlarmPriority` - 1: "1 - critical" .. "4 - low".
std::span<const std::string_view> AlarmPriorities();

} // namespace halvane
