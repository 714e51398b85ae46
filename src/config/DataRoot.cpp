#include "DataRoot.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>

namespace halvane {

namespace {

std::mutex g_rootMutex;
std::string g_root = "./";

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

bool Present(const std::optional<std::string>& value) {
    return value && !value->empty();
}

std::optional<std::string> Environment(const char* name) {
    if (const char* value = std::getenv(name))
        return std::string(value);
    return std::nullopt;
}

} // namespace

std::string ChooseDataRoot(const DataRootSources& sources) {
    if (Present(sources.commandLine))
        return WithTrailingSlash(*sources.commandLine);
    if (Present(sources.environment))
        return WithTrailingSlash(*sources.environment);
    if (Present(sources.xdgDataHome))
        return WithTrailingSlash(*sources.xdgDataHome) + "Korvell/Halvane/";
    if (Present(sources.home))
        return WithTrailingSlash(*sources.home) + ".local/share/Korvell/Halvane/";
    return WithTrailingSlash(sources.executableFolder);
}

DataRootSources ProcessDataRootSources(std::optional<std::string> commandLine,
                                       const std::string& executableFolder) {
    return DataRootSources{std::move(commandLine), Environment("HALVANE_DATA_ROOT"),
                           Environment("XDG_DATA_HOME"), Environment("HOME"), executableFolder};
}

void SetDataRoot(std::string root) {
    std::lock_guard lock(g_rootMutex);
    g_root = WithTrailingSlash(std::move(root));
}

std::string DataRoot() {
    std::lock_guard lock(g_rootMutex);
    return g_root;
}

std::string NativeSeparators(std::string_view stored) {
    std::string path(stored);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool IsAbsoluteStoredPath(std::string_view stored) {
    if (!stored.empty() && (stored.front() == '/' || stored.front() == '\\'))
        return true;
    return stored.size() >= 2 && std::isalpha(static_cast<unsigned char>(stored[0])) &&
           stored[1] == ':';
}

std::string ResolveComDevice(int n) {
    const std::string name = "COM" + std::to_string(n);
    if (const auto variable = Environment(("HALVANE_" + name).c_str()); Present(variable))
        return *variable;
    const std::filesystem::path link = ResolveDataPath("dev/" + name);
    std::error_code ec;
    if (std::filesystem::is_symlink(link, ec)) {
        auto target = std::filesystem::read_symlink(link, ec);
        if (!ec)
            return (target.is_absolute() ? target : link.parent_path() / target).string();
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::filesystem::path ResolveDataPath(std::string_view relative) {
    return std::filesystem::path(DataRoot() + NativeSeparators(relative));
}

} // namespace halvane
