#pragma once

#include <string>
#include <string_view>

namespace halvane {

// Appends `text` (UTF-8) as a JSON string, quoted and escaped.
void AppendJsonString(std::string& out, std::string_view text);
// Appends the shortest text that reads back as the same double; JSON has no infinities,
// so they and NaN are written as null.
void AppendJsonNumber(std::string& out, double value);
// Appends `"key":` to `out`, which holds only the object being written (from its "{"):
// after a comma unless it is the first key.
void AppendJsonKey(std::string& out, std::string_view key);

} // namespace halvane
