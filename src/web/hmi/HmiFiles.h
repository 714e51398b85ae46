#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// A file of the built-in operator page: its bytes and the media type it is sent with.
struct HmiFile {
    std::string bytes;
    std::string_view mediaType;
    bool operator==(const HmiFile&) const = default;
};

// Whether a request path lies in the operator page's folder: "/hmi" or below "/hmi/".
bool IsHmiPath(std::string_view path);

// The path a request for the page stands for: "/hmi" and "/hmi/" are "/hmi/index.html", so
// that a project's own page of that name wins; any other path is itself.
std::string_view HmiRequestPath(std::string_view path);

// The page's file that a request path names ("/hmi/hmi.js"); nothing for a name the page
// does not have, below a folder, or outside "/hmi/".
std::optional<HmiFile> HmiFileAt(std::string_view path);

} // namespace halvane
