#pragma once

#include <filesystem>
#include <string>

namespace halvane {

// The media type of a document by its extension (letter case ignored), from the common
// table of the web; "application/octet-stream" for any other extension.
std::string MediaTypeOf(const std::filesystem::path& file);

} // namespace halvane
