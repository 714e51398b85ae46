#include "TagVocabulary.h"

#include <algorithm>
#include <array>

namespace halvane {

namespace {

constexpr std::array<DataTypeInfo, 13> kDataTypes{{
    {1, "Integer - Byte", 1},
    {0, "Integer - Word", 2},
    {2, "Integer - Double word", 4},
    {20, "Masked Byte - Bit 0", 1},
    {21, "Masked Byte - Bit 1", 1},
    {22, "Masked Byte - Bit 2", 1},
    {23, "Masked Byte - Bit 3", 1},
    {24, "Masked Byte - Bit 4", 1},
    {25, "Masked Byte - Bit 5", 1},
    {26, "Masked Byte - Bit 6", 1},
    {27, "Masked Byte - Bit 7", 1},
    {101, "Float - Single precision", 4},
    {102, "Float - Double precision", 8},
}};

constexpr std::array<FunctionInfo, 7> kFunctions{{
    {"Read Coils (1)", "(1) Read Coil"},
    {"Read Discrete Input (2)", "(2) Read Discrete Input"},
    {"Read Holding Register (3)", "(3) Read Holding Register"},
    {"Read Input Register (4)", "(4) Read Input Register"},
    {"Write Coil (5)", "(5) Write Coil"},
    {"Write Holding Register (6)", "(6) Write Holding Register"},
    {"Write Multiple Registers (16)", "(16) Write Multiple Registers"},
}};

constexpr std::array<PortInfo, 5> kPorts{{
    {"None (disabled)", "None"},
    {"Serial port #1", "Serial #1"},
    {"Serial port #2", "Serial #2"},
    {"Serial port #3", "Serial #3"},
    {kNetworkConnectionName, "Network"},
}};

constexpr std::array<std::string_view, 3> kConversionModes{
    "No conversion y=x",
    "Use linearized function y=fL(x)",
    "Use function y=f(x)",
};

constexpr std::array<std::string_view, 4> kAlarmPriorities{
    "1 - critical",
    "2 - high",
    "3 - medium",
    "4 - low",
};

} // namespace

std::span<const DataTypeInfo> DataTypes() {
    return kDataTypes;
}

std::optional<DataTypeInfo> FindDataType(int id) {
    const auto it = std::find_if(kDataTypes.begin(), kDataTypes.end(),
                                 [id](const DataTypeInfo& info) { return info.id == id; });
    if (it == kDataTypes.end())
        return std::nullopt;
    return *it;
}

int DataTypeByteLength(int id) {
    const auto info = FindDataType(id);
    return info ? info->byteLength : 0;
}

std::span<const FunctionInfo> Functions() {
    return kFunctions;
}

std::string_view FunctionListText(int function) {
    if (function < 0 || function >= static_cast<int>(kFunctions.size()))
        return "Unknown";
    return kFunctions[static_cast<size_t>(function)].listText;
}

std::span<const PortInfo> Ports() {
    return kPorts;
}

std::span<const std::string_view> ConversionModes() {
    return kConversionModes;
}

std::span<const std::string_view> AlarmPriorities() {
    return kAlarmPriorities;
}

} // namespace halvane
