#include "HelpFile.h"

#include <initializer_list>
#include <system_error>

namespace halvane {

namespace {

std::optional<std::filesystem::path>
FirstThere(std::initializer_list<std::filesystem::path> paths) {
    for (const std::filesystem::path& candidate : paths) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec))
            return candidate.lexically_normal();
    }
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> FindHelpFile(const std::filesystem::path& programFolder) {
    return FirstThere({programFolder / "README.md",
                       programFolder / "../share/doc/halvane/README.md",
                       std::filesystem::path(HALVANE_SOURCE_DIR) / "README.md"});
}

std::optional<std::filesystem::path>
FindStarterGallery(const std::filesystem::path& programFolder) {
    return FirstThere({programFolder / "../share/halvane/gallery",
                       std::filesystem::path(HALVANE_SOURCE_DIR) / "share/halvane/gallery"});
}

} // namespace halvane
