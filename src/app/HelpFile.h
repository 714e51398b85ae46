#pragma once

#include <filesystem>
#include <optional>

namespace halvane {

// The README that ships with the program, the station's help: beside the executable in
// `programFolder`, in the documentation folder of an installed program, or in the source
// tree the program was built from. Nothing when none of them is there.
std::optional<std::filesystem::path> FindHelpFile(const std::filesystem::path& programFolder);

} // namespace halvane
