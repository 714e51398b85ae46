#include "TagEditorValues.h"

#include "ConversionMessages.h"
#include "NumberFormat.h"
#include "StoredText.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace halvane {

namespace {

constexpr int kDefaultPriorityRow = 2; // priority 3

bool IsPriorityRow(int row) {
    return row >= 0 && static_cast<size_t>(row) < AlarmPriorities().size();
}

// A deadband or delay as typed: a number of 0 or more, in the locale's format.
std::optional<double> AlarmAmount(std::string_view text) {
    const auto value = ParseFloat(text);
    if (!value || *value < 0)
        return std::nullopt;
    return value;
}

std::string RefusedAmountMessage(std::string_view field, std::string_view text) {
    return std::string(field) + " '" + std::string(text) +
           "' is not valid: enter a number of 0 or more";
}

std::string LimitText(const std::optional<double>& limit) {
    return limit ? FormatGeneral(*limit) : std::string();
}

// An empty text is no limit; anything else must be a finite number.
std::optional<std::optional<double>> WriteLimit(std::string_view text) {
    if (TrimBlanks(text).empty())
        return std::optional<double>();
    const auto value = ParseFloat(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::string RefusedLimitMessage(std::string_view field, std::string_view text) {
    return std::string(field) + " '" + std::string(text) +
           "' is not valid: enter a number or leave it empty";
}

} // namespace

TagEditorValues EditorValuesFromTag(const TDataChannel& tag) {
    TagEditorValues values;
    values.port = tag.Port;
    values.function = tag.Function;
    values.dataTypeRow = DataTypeRow(tag.DataType);
    values.slaveAddress = std::to_string(tag.ModuleAddr);
    values.registerAddress = std::to_string(tag.RegisterAddr);
    values.signedValue = tag.Signed;
    values.swapBytes = tag.SwapBytes;
    values.swapWords = tag.SwapWords;
    values.swapDWords = tag.SwapDWords;
    values.reverseOrder = tag.ReverseOrder;
    values.name = StoredTextToUtf8(tag.Name);
    values.unit = StoredTextToUtf8(tag.Unit);
    values.description = StoredTextToUtf8(tag.Desc);
    values.format = StoredTextToUtf8(tag.Format);
    values.highThreshold = FormatGeneral(tag.HighThreshold);
    values.lowThreshold = FormatGeneral(tag.LowThreshold);
    values.enableAlert = tag.EnableAlert;
    values.smsAlert = tag.SMSAlert;
    values.alarmPriority =
        IsPriorityRow(tag.AlarmPriority - 1) ? tag.AlarmPriority - 1 : kDefaultPriorityRow;
    values.alarmDeadband = FormatGeneral(tag.AlarmDeadband);
    values.alarmDelay = FormatGeneral(tag.AlarmDelay);
    values.writeMin = LimitText(tag.WriteMin);
    values.writeMax = LimitText(tag.WriteMax);
    if (tag.Linear >= 0 && static_cast<size_t>(tag.Linear) < ConversionModes().size())
        values.linear = tag.Linear;
    values.filter = tag.Filter != 0;
    return values;
}

std::optional<std::string> ApplyEditorValues(const TagEditorValues& values, TDataChannel& tag) {
    if (auto refused = RefusedAlarmField(values))
        return refused;
    if (auto refused = RefusedWriteLimits(values))
        return refused;
    tag.Port = values.port;
    const auto slave = ParseInteger(values.slaveAddress);
    if (!slave)
        return NotAnIntegerMessage(values.slaveAddress);
    tag.ModuleAddr = *slave;
    const auto reg = ParseInteger(values.registerAddress);
    if (!reg)
        return NotAnIntegerMessage(values.registerAddress);
    tag.RegisterAddr = *reg;
    tag.Function = values.function;
    const auto types = DataTypes();
    if (values.dataTypeRow >= 0 && static_cast<size_t>(values.dataTypeRow) < types.size()) {
        tag.DataType = types[static_cast<size_t>(values.dataTypeRow)].id;
        tag.ByteLength = DataTypeByteLength(tag.DataType);
    }
    tag.ReverseOrder = values.reverseOrder;
    tag.SwapBytes = values.swapBytes;
    tag.SwapWords = values.swapWords;
    tag.SwapDWords = values.swapDWords;
    tag.Signed = values.signedValue;
    tag.Name = TextToStore(values.name, tag.Name);
    tag.Unit = TextToStore(values.unit, tag.Unit);
    tag.Desc = TextToStore(values.description, tag.Desc);
    tag.Format = TextToStore(values.format, tag.Format);
    const auto high = ParseFloat(values.highThreshold);
    const auto low = ParseFloat(values.lowThreshold);
    tag.HighThreshold = high && low ? *high : 0.0;
    tag.LowThreshold = high && low ? *low : 0.0;
    tag.EnableAlert = values.enableAlert;
    tag.SMSAlert = values.smsAlert;
    if (IsPriorityRow(values.alarmPriority))
        tag.AlarmPriority = values.alarmPriority + 1;
    tag.AlarmDeadband = *AlarmAmount(values.alarmDeadband);
    tag.AlarmDelay = *AlarmAmount(values.alarmDelay);
    tag.WriteMin = *WriteLimit(values.writeMin);
    tag.WriteMax = *WriteLimit(values.writeMax);
    if (values.linear)
        tag.Linear = *values.linear;
    tag.Filter = values.filter ? 1 : 0;
    return std::nullopt;
}

std::optional<std::string> RefusedAlarmField(const TagEditorValues& values) {
    if (!AlarmAmount(values.alarmDeadband))
        return RefusedAmountMessage("Deadband", values.alarmDeadband);
    if (!AlarmAmount(values.alarmDelay))
        return RefusedAmountMessage("Delay", values.alarmDelay);
    return std::nullopt;
}

std::optional<std::string> RefusedWriteLimits(const TagEditorValues& values) {
    const auto low = WriteLimit(values.writeMin);
    if (!low)
        return RefusedLimitMessage("Write minimum", values.writeMin);
    const auto high = WriteLimit(values.writeMax);
    if (!high)
        return RefusedLimitMessage("Write maximum", values.writeMax);
    if (*low && *high && **low > **high)
        return "The write minimum " + FormatGeneral(**low) + " is above the write maximum " +
               FormatGeneral(**high) + ".";
    return std::nullopt;
}

std::string DataTypeItemText(const DataTypeInfo& info) {
    return std::string(info.name) + " (" + std::to_string(info.byteLength) + " B)";
}

int DataTypeRow(int id) {
    const auto types = DataTypes();
    for (size_t row = 0; row < types.size(); ++row)
        if (types[row].id == id)
            return static_cast<int>(row);
    return -1;
}

SignOptions SignOptionsFor(int dataTypeRow) {
    const auto types = DataTypes();
    const bool selected = dataTypeRow >= 0 && static_cast<size_t>(dataTypeRow) < types.size();
    const int id = selected ? types[static_cast<size_t>(dataTypeRow)].id : kDataTypeWord;
    if (IsFloatDataType(id))
        return {false, true};
    return {true, false};
}

bool ByteOrderApplies(int function) {
    return function != kFunctionReadCoils && function != kFunctionReadDiscreteInputs &&
           function != kFunctionWriteCoil;
}

std::optional<std::string> RegisterHexText(std::string_view text) {
    const auto value = ParseInteger(text);
    if (!value)
        return std::nullopt;
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "0x%04X", static_cast<unsigned>(*value));
    return std::string(hex.data());
}

} // namespace halvane
