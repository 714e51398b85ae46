#pragma once

#include "RequestError.h"

#include <string_view>

namespace halvane {

// A decimal integer ("7", "-1") that names a tag or screen position in a request path or
// a template marker. Anything else, including a number beyond the range of int, is an
// error with the message "'<text>' is not a valid integer value".
OrRequestError<int> ParseDecimalIndex(std::string_view text);

} // namespace halvane
