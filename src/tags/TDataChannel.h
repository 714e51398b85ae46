#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;

constexpr int kMaxPoints = 100;

// The statuses the station gives a tag itself, which no transaction or link reported.
inline constexpr std::string_view kStatusUnknown = "Unknown"; // not polled yet
inline constexpr std::string_view kStatusDisabled = "Cfg: Disabled";
inline constexpr std::string_view kStatusPendingWrite = "Pending write";
// An output tag whose device does not let what it writes be read: it shows its last preset.
inline constexpr std::string_view kStatusReadBackRefused = "Read-back refused";

// One polled value: a coil, discrete input or register group of one slave on one
// connection, with everything that turns its bytes into an engineering value.
// A plain value type: copying a tag copies its configuration and its run-time state.
struct TDataChannel {
    // Run-time: last decoded reading before scaling.
    double RawValue = 0;
    // Run-time: integer produced for a write; its low 16 bits are sent.
    uint32_t RawInteger = 0;
    // Run-time: engineering value; for output tags also the value written.
    double RealValue = 0;
    double DefaultValue = 0;
    std::string Format = "%0.2f";
    std::string Unit;
    std::string Name;
    std::string Desc;
    int DataType = 0;
    int ByteLength = 0; // derived from DataType
    int DisplayType = 0;
    bool Signed = false;
    bool ReverseOrder = false;
    bool SwapBytes = false;
    bool SwapWords = false;
    bool SwapDWords = false;
    int ModuleAddr = 1;
    int RegisterAddr = 0;
    int Function = 0;
    int Port = 0;
    double LowThreshold = 0;
    double HighThreshold = 0;
    bool EnableAlert = false;
    bool SMSAlert = false;
    // Alarm list keys: 1 (critical) .. 4 (low); engineering units an active limit alarm
    // must fall back by; seconds a limit must be passed before the alarm is raised.
    int AlarmPriority = 3;
    double AlarmDeadband = 0;
    double AlarmDelay = 0;
    // The lowest and highest real value an operator may preset; none: only the
    // register's range limits it.
    std::optional<double> WriteMin;
    std::optional<double> WriteMax;
    std::array<int32_t, kMaxPoints> PointX{};
    std::array<double, kMaxPoints> PointY{};
    double Offset = 0;
    int PointCount = 0;
    double ACoff = 0;
    double BCoff = 0;
    double MaxX = 0;
    double MinX = 0;
    int Linear = 0;
    int Filter = 0;
    // Run-time state of the last transaction.
    bool ValueValid = false;
    int FilterCountdown = 0;
    std::string Status = std::string(kStatusUnknown);
    bool PollingNow = false;
    // Run-time: an output tag was preset and its value has not reached the device yet.
    // Connections that write only when a value is set write just these.
    bool WritePending = false;

    bool operator==(const TDataChannel&) const = default;

    // Fills the tag from "Channel.<index>" and "Points.<index>"; false (tag untouched)
    // when that section does not exist.
    bool LoadFromConfig(const ProfileStore& store, int index);
    // Writes the tag to "Channel.<index>" and "Points.<index>" in one file write; false
    // when the file could not be written (the store's LastError says why).
    bool SaveToConfig(ProfileStore& store, int index) const;
    // Function 4 (Write Coil), 5 (Write Holding Register) or 6 (Write Multiple Registers).
    bool IsOutputTag() const;
    void SetTagError(std::string text);
};

std::string ChannelSection(int index);
std::string PointsSection(int index);

// The status every view of a tag shows: "OK" while its value is valid, else `Status`,
// which then says why it is not (a valid tag's `Status` still holds the last reason).
std::string_view ShownStatus(bool valueValid, std::string_view status);

// Whether the tag has no value because a transaction or its link failed, not for one of
// the statuses the station gives it itself.
bool CommunicationFailed(const TDataChannel& tag);

} // namespace halvane
