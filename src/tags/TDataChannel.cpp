#include "TDataChannel.h"

#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagVocabulary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {

namespace {

std::string PointKey(int i) {
    return "Point." + std::to_string(i);
}

// "x;y": x as strtol base 10, y as strtod; nothing when there is no ";" or nothing before it.
bool ParsePoint(std::string_view text, int32_t& x, double& y) {
    const size_t semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon == 0)
        return false;
    // A 32-bit strtol saturates where the number leaves its range.
    x = static_cast<int32_t>(std::clamp<long>(StrtolPrefix(text.substr(0, semicolon)),
                                              std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
    y = StrtodPrefix(text.substr(semicolon + 1));
    return true;
}

double NonNegative(double value) {
    return std::isfinite(value) && value > 0 ? value : 0;
}

// A key at its default is not written, so that a project that never set it keeps a file
// without it.
void WriteUnlessDefault(ProfileStore& store, const std::string& section, std::string_view key,
                        double value, double fallback) {
    if (value == fallback)
        store.DeleteKey(section, key);
    else
        store.WriteFloat(section, key, value);
}

// An unknown priority reads as 3, a negative (or not finite) deadband or delay as 0.
void LoadAlarmKeys(TDataChannel& tag, const ProfileStore& store, const std::string& section) {
    const int priority = store.ReadInteger(section, "AlarmPriority", 3);
    tag.AlarmPriority = priority >= 1 && priority <= 4 ? priority : 3;
    tag.AlarmDeadband = NonNegative(store.ReadFloat(section, "AlarmDeadband", 0));
    tag.AlarmDelay = NonNegative(store.ReadFloat(section, "AlarmDelay", 0));
}

void SaveAlarmKeys(const TDataChannel& tag, ProfileStore& store, const std::string& section) {
    if (tag.AlarmPriority == 3)
        store.DeleteKey(section, "AlarmPriority");
    else
        store.WriteInteger(section, "AlarmPriority", tag.AlarmPriority);
    WriteUnlessDefault(store, section, "AlarmDeadband", tag.AlarmDeadband, 0);
    WriteUnlessDefault(store, section, "AlarmDelay", tag.AlarmDelay, 0);
}

// A limit that is absent or not a finite number is no limit.
std::optional<double> ReadLimit(const ProfileStore& store, const std::string& section,
                                std::string_view key) {
    const double value = store.ReadFloat(section, key, std::numeric_limits<double>::quiet_NaN());
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

void WriteLimit(ProfileStore& store, const std::string& section, std::string_view key,
                const std::optional<double>& limit) {
    if (limit)
        store.WriteFloat(section, key, *limit);
    else
        store.DeleteKey(section, key);
}

} // namespace

std::string ChannelSection(int index) {
    return "Channel." + std::to_string(index);
}

std::string PointsSection(int index) {
    return "Points." + std::to_string(index);
}

bool TDataChannel::IsOutputTag() const {
    return Function == kFunctionWriteCoil || Function == kFunctionWriteRegister ||
           Function == kFunctionWriteRegisters;
}

std::string_view ShownStatus(bool valueValid, std::string_view status) {
    return valueValid ? "OK" : status;
}

bool CommunicationFailed(const TDataChannel& tag) {
    constexpr std::array kOwnStatuses{kStatusUnknown, kStatusDisabled, kStatusPendingWrite,
                                      kStatusReadBackRefused};
    return !tag.ValueValid && std::ranges::find(kOwnStatuses, tag.Status) == kOwnStatuses.end();
}

void TDataChannel::SetTagError(std::string text) {
    Status = std::move(text);
    ValueValid = false;
}

bool TDataChannel::LoadFromConfig(const ProfileStore& store, int index) {
    const std::string s = ChannelSection(index);
    if (!store.SectionExists(s))
        return false;
    ModuleAddr = store.ReadInteger(s, "ModuleAddr", 1);
    RegisterAddr = store.ReadInteger(s, "RegisterAddr", 0);
    Format = store.ReadString(s, "Format", "%0.2f");
    Unit = store.ReadString(s, "Unit", "");
    Name = store.ReadString(s, "Name", "");
    Desc = store.ReadString(s, "Desc", "");
    Port = store.ReadInteger(s, "Port", 0);
    if (Port == 0)
        SetTagError(std::string(kStatusDisabled));
    Function = store.ReadInteger(s, "Function", 2);
    DataType = store.ReadInteger(s, "DataType", 0);
    ByteLength = DataTypeByteLength(DataType);
    DisplayType = store.ReadInteger(s, "DisplayType", 0);
    Signed = store.ReadBool(s, "Signed", false);
    ReverseOrder = store.ReadBool(s, "ReverseOrder", false);
    SwapBytes = store.ReadBool(s, "SwapBytes", false);
    SwapWords = store.ReadBool(s, "SwapWords", false);
    SwapDWords = store.ReadBool(s, "SwapDWords", false);
    HighThreshold = store.ReadFloat(s, "High.Threshold", 0.0);
    LowThreshold = store.ReadFloat(s, "Low.Threshold", 0.0);
    EnableAlert = store.ReadBool(s, "EnableAlert", true);
    SMSAlert = store.ReadBool(s, "SMSAlert", false);
    LoadAlarmKeys(*this, store, s);
    WriteMin = ReadLimit(store, s, "WriteMin");
    WriteMax = ReadLimit(store, s, "WriteMax");
    Linear = store.ReadInteger(s, "Linear", 2);
    Filter = store.ReadInteger(s, "Filter", 0);
    Offset = store.ReadFloat(s, "Offset", 0.0);
    MaxX = store.ReadFloat(s, "MaxX", 0.0);
    MinX = store.ReadFloat(s, "MinX", 0.0);
    ACoff = store.ReadFloat(s, "ACoff", 0.0);
    BCoff = store.ReadFloat(s, "BCoff", 0.0);
    DefaultValue = store.ReadFloat(s, "DefaultValue", 0.0);
    // Output tags write their last preset value again after a restart.
    if (IsOutputTag())
        RealValue = DefaultValue;
    else
        DefaultValue = 0;

    const std::string p = PointsSection(index);
    PointCount = 0;
    for (int i = 0; i < kMaxPoints; ++i) {
        int32_t x = 0;
        double y = 0;
        if (!ParsePoint(store.ReadString(p, PointKey(i), ""), x, y))
            continue;
        PointX[static_cast<size_t>(PointCount)] = x;
        PointY[static_cast<size_t>(PointCount)] = y;
        ++PointCount;
    }
    return true;
}

bool TDataChannel::SaveToConfig(ProfileStore& store, int index) const {
    ProfileStore::Batch batch(store);
    const std::string s = ChannelSection(index);
    store.WriteInteger(s, "Port", Port);
    store.WriteInteger(s, "ModuleAddr", ModuleAddr);
    store.WriteInteger(s, "RegisterAddr", RegisterAddr);
    store.WriteInteger(s, "Function", Function);
    store.WriteInteger(s, "DataType", DataType);
    store.WriteInteger(s, "DisplayType", DisplayType);
    store.WriteBool(s, "Signed", Signed);
    store.WriteBool(s, "ReverseOrder", ReverseOrder);
    store.WriteBool(s, "SwapBytes", SwapBytes);
    store.WriteBool(s, "SwapWords", SwapWords);
    store.WriteBool(s, "SwapDWords", SwapDWords);
    store.WriteString(s, "Name", Name);
    store.WriteString(s, "Unit", Unit);
    store.WriteString(s, "Desc", Desc);
    store.WriteString(s, "Format", Format);
    store.WriteFloat(s, "High.Threshold", HighThreshold);
    store.WriteFloat(s, "Low.Threshold", LowThreshold);
    store.WriteBool(s, "EnableAlert", EnableAlert);
    store.WriteBool(s, "SMSAlert", SMSAlert);
    store.WriteInteger(s, "Linear", Linear);
    store.WriteInteger(s, "Filter", Filter);
    store.WriteFloat(s, "MaxX", MaxX);
    store.WriteFloat(s, "MinX", MinX);
    store.WriteFloat(s, "ACoff", ACoff);
    store.WriteFloat(s, "BCoff", BCoff);
    store.WriteFloat(s, "Offset", Offset);
    store.WriteFloat(s, "DefaultValue", DefaultValue);
    SaveAlarmKeys(*this, store, s);
    WriteLimit(store, s, "WriteMin", WriteMin);
    WriteLimit(store, s, "WriteMax", WriteMax);

    const std::string p = PointsSection(index);
    const int count = std::clamp(PointCount, 0, kMaxPoints);
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        store.WriteString(p, PointKey(i),
                          std::to_string(PointX[at]) + ";" + FormatFixed(PointY[at], 4));
    }
    // Points of a longer earlier function must not come back.
    for (int i = count; i < kMaxPoints; ++i)
        store.DeleteKey(p, PointKey(i));
    return batch.Commit();
}

} // namespace halvane
