#pragma once

#include "TDataChannel.h"

#include <string>
#include <string_view>

namespace halvane {

// The tag's `Format` applied to `RealValue`; see FormatValue.
std::string ValueText(const TDataChannel& tag);

// `text` followed by a blank and the tag's unit, decoded for display; `text` alone when
// the tag has no unit.
std::string WithUnit(std::string text, const TDataChannel& tag);

// A user's printf format applied to one value. The format is used only when it holds
// exactly one conversion besides any number of "%%":
//  - f F e E g G a A (optionally written with the no-op "l"), given the value;
//  - d i u x X o, given the value truncated toward zero to a 64-bit whole number
//    (saturated beyond that range; u x X o see its two's-complement bits).
// Flags "-+ #0", a width and a precision of at most 99 each are allowed; "*", "n$",
// other length modifiers and other conversions are not. Any other format, and an
// integer conversion of an infinite or not-a-number value, gives the value in "%g"
// form. An empty format gives an empty text. The decimal separator is the C locale's.
std::string FormatValue(std::string_view format, double value);

} // namespace halvane
