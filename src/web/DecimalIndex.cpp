#include "DecimalIndex.h"

#include <charconv>
#include <string>

namespace halvane {

OrRequestError<int> ParseDecimalIndex(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end)
        return RequestError{"'" + std::string(text) + "' is not a valid integer value"};
    return value;
}

} // namespace halvane
