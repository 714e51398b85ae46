#pragma once

#include "SymbolPicture.h"
#include "SymbolStates.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace halvane {

// A rectangle as the screen files and hit tests use it: right and bottom are the first
// column and row outside it.
struct MarkerRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const MarkerRect&) const = default;
};

// Type codes of screen objects.
enum MarkerType : int32_t {
    kNumericDisplay = 0,
    kBinaryDisplay = 1,
    kMultiStateDisplay = 2,
    kCurrentTime = 3,
    kCurrentDate = 4,
    kFunctionButton = 5,
    kStaticText = 6,
    kNumericInput = 50,
    kPresetValueButton = 51,
    kReservedWriteType = 52,
    kGraphicalSymbol = 100,
};

// A type that the station creates, with its name: the palette and the object editor's type
// list show them in this order.
struct ObjectKind {
    const char* name;
    int32_t type;
};
inline constexpr std::array<ObjectKind, 10> kObjectKinds{{
    {"Numeric Display", kNumericDisplay},
    {"Binary Display", kBinaryDisplay},
    {"Multi-state Display", kMultiStateDisplay},
    {"Current Time", kCurrentTime},
    {"Current Date", kCurrentDate},
    {"Function Button", kFunctionButton},
    {"Static Text", kStaticText},
    {"Graphical symbol", kGraphicalSymbol},
    {"Numeric Input", kNumericInput},
    {"Preset Value Button", kPresetValueButton},
}};

// The drag of a palette item carries the object's type code, in decimal, in this format.
inline constexpr char kObjectTypeMimeType[] = "application/x-halvane-object-type";

// Only these types refer to a tag through `Channel`.
constexpr bool IsTagBoundType(int32_t type) {
    return type == kNumericDisplay || type == kBinaryDisplay || type == kMultiStateDisplay ||
           type == kNumericInput || type == kPresetValueButton || type == kReservedWriteType;
}

// The run-time cursor changes over these and a click reaches them.
constexpr bool IsClickableType(int32_t type) {
    return type == kFunctionButton || type == kNumericInput || type == kPresetValueButton ||
           type == kReservedWriteType;
}

// These write their tag and may ask before they do.
constexpr bool CanAskBeforeWriting(int32_t type) {
    return type == kNumericInput || type == kPresetValueButton;
}

// One object placed on a screen. A value type: a copy owns a picture of its own.
struct TScreenMarker {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    MarkerRect Bounds; // the area covered when last drawn: what hit tests use
    int32_t Channel = 0;
    int32_t UseStyle = 0;
    int32_t Type = 0;
    int32_t AttrInt1 = 0;
    std::string AttrStr1; // stored bytes
    double AttrDouble1 = 0;
    // A numeric input or preset button asks the operator before it writes.
    bool Confirm = false;
    std::optional<SymbolPicture> Graphic;
    // A graphical symbol may change its picture with a tag's value.
    SymbolStates States;

    MarkerRect Rect() const { return {Left, Top, Right, Bottom}; }
};

} // namespace halvane
