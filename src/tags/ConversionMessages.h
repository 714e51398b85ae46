#pragma once

#include <string>
#include <string_view>

namespace halvane {

// The station's general messages for a typed text that does not convert.
std::string NotAnIntegerMessage(std::string_view text);
std::string NotAFloatMessage(std::string_view text);

} // namespace halvane
