#include "ConversionMessages.h"

namespace halvane {

std::string NotAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

std::string NotAFloatMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid floating point value";
}

} // namespace halvane
