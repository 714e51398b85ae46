#pragma once

#include "TDataChannel.h"
#include "TagVocabulary.h"

#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// What the tag editor's controls hold, one member per control: combo boxes as their
// index, edits as their UTF-8 text, check and radio buttons as flags.
struct TagEditorValues {
    int port = 0;         // index in Ports()
    int function = 0;     // index in Functions()
    int dataTypeRow = -1; // position in DataTypes(); -1 selects nothing
    std::string slaveAddress;
    std::string registerAddress;
    bool signedValue = false;
    bool swapBytes = false;
    bool swapWords = false;
    bool swapDWords = false;
    bool reverseOrder = false;
    std::string name;
    std::string unit;
    std::string description;
    std::string format;
    std::string highThreshold;
    std::string lowThreshold;
    bool enableAlert = false;
    bool smsAlert = false;
    int alarmPriority = 2; // index in AlarmPriorities()
    std::string alarmDeadband;
    std::string alarmDelay;
    std::string writeMin; // empty: no limit
    std::string writeMax;
    std::optional<int> linear; // the checked conversion button; none for another mode
    bool filter = false;

    bool operator==(const TagEditorValues&) const = default;
};

// The controls for a tag: addresses in decimal, thresholds, deadband and delay in general
// format with the locale's separator, stored texts decoded for display.
TagEditorValues EditorValuesFromTag(const TDataChannel& tag);

// Reads the controls into `tag` in this order: port, slave address, register address,
// function, data type (with its byte length), byte order and sign, texts, thresholds,
// alarm flags, priority, deadband and delay, write limits, conversion mode, pulse filter.
// A deadband or delay that RefusedAlarmField refuses, or write limits that
// RefusedWriteLimits refuses, leave the tag untouched and give the message.
// An address that is not a whole number stops the reading there and gives the message to
// show; the fields read before it keep their new values. Thresholds that are not both
// numbers both become 0. A text left as it was shown keeps its stored bytes; a changed
// one is stored as UTF-8.
std::optional<std::string> ApplyEditorValues(const TagEditorValues& values, TDataChannel& tag);

// The message naming the deadband or the delay when one is not a number of 0 or more;
// nothing when both are.
std::optional<std::string> RefusedAlarmField(const TagEditorValues& values);

// The message when a write limit is neither empty nor a number, or the minimum is above
// the maximum; nothing when the limits can be taken.
std::optional<std::string> RefusedWriteLimits(const TagEditorValues& values);

// "Integer - Byte (1 B)".
std::string DataTypeItemText(const DataTypeInfo& info);
// The position of a data type id in DataTypes(); -1 when it has no entry.
int DataTypeRow(int id);

// The sign options for the selected data type row (no selection counts as id 0): float
// types are always signed, so the options are disabled with "signed" checked.
struct SignOptions {
    bool enabled = true;
    bool forceSigned = false;
};
SignOptions SignOptionsFor(int dataTypeRow);

// Whether the byte-order options mean anything for the selected function: not for the
// single bits of coils and discrete inputs.
bool ByteOrderApplies(int function);

// "0x03E8" for the register address text "1000"; nothing when the text is not a whole
// number (the label then keeps what it showed).
std::optional<std::string> RegisterHexText(std::string_view text);

} // namespace halvane
