#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace halvane {

// The document root: the folder "http" under the data root.
std::filesystem::path DocumentRoot();

// The path under the document root that a decoded request path names ("http\" + the
// request path). Nothing when the request path holds a NUL or a ".." segment (between
// "/" or "\"), or would name anything but a path inside the document root. Links inside
// the root are the owner's business and are followed.
std::optional<std::filesystem::path> DocumentPath(std::string_view requestPath);

} // namespace halvane
