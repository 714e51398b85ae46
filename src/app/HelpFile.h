#pragma once

#include <filesystem>
#include <optional>

namespace halvane {

// The files that ship with the program, found beside the executable in `programFolder`,
// in the share folder of an installed program, or in the source tree it was built from.
// Nothing when none of them is there.

// The README, the station's help.
std::optional<std::filesystem::path> FindHelpFile(const std::filesystem::path& programFolder);
// The starter symbol gallery a new project copies.
std::optional<std::filesystem::path> FindStarterGallery(const std::filesystem::path& programFolder);

} // namespace halvane
