#include "DocumentPath.h"

#include "DataRoot.h"

#include <algorithm>
#include <string>

namespace halvane {

namespace {

bool HasParentSegment(std::string_view path) {
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of("/\\", start), path.size());
        if (path.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

// Whether `path` lies strictly inside `folder`, comparing their normal forms part by part.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto normalPath = path.lexically_normal();
    const auto normalFolder = folder.lexically_normal();
    const auto [folderEnd, pathAt] = std::mismatch(normalFolder.begin(), normalFolder.end(),
                                                   normalPath.begin(), normalPath.end());
    return folderEnd == normalFolder.end() && pathAt != normalPath.end() && !pathAt->empty();
}

} // namespace

std::filesystem::path DocumentRoot() {
    return ResolveDataPath("http");
}

std::optional<std::filesystem::path> DocumentPath(std::string_view requestPath) {
    if (requestPath.find('\0') != std::string_view::npos || HasParentSegment(requestPath))
        return std::nullopt;
    auto path = ResolveDataPath("http\\" + std::string(requestPath));
    if (!IsInside(path, DocumentRoot()))
        return std::nullopt;
    return path;
}

} // namespace halvane
