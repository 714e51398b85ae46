#include "HelpFile.h"

#include <array>
#include <system_error>

namespace halvane {

std::optional<std::filesystem::path> FindHelpFile(const std::filesystem::path& programFolder) {
    const std::array<std::filesystem::path, 3> candidates = {
        programFolder / "README.md",
        programFolder / "../share/doc/halvane/README.md",
        std::filesystem::path(HALVANE_SOURCE_DIR) / "README.md",
    };
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate.lexically_normal();
    }
    return std::nullopt;
}

} // namespace halvane
