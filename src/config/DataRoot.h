#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// Where the data root comes from, in order of precedence.
struct DataRootSources {
    std::optional<std::string> commandLine; // --data-root DIR
    std::optional<std::string> environment; // HALVANE_DATA_ROOT
    std::optional<std::string> xdgDataHome; // XDG_DATA_HOME
    std::optional<std::string> home;        // HOME, for ~/.local/share
    std::string executableFolder;
};

// The data root folder, always with a trailing "/". Empty variables count as unset.
std::string ChooseDataRoot(const DataRootSources& sources);

// The sources of this process: environment variables and the executable's folder.
DataRootSources ProcessDataRootSources(std::optional<std::string> commandLine,
                                       const std::string& executableFolder);

void SetDataRoot(std::string root);
std::string DataRoot();

// A stored relative path ("cfg\config.cfg") as a path under the data root. Every "\" of
// the relative path is read as "/". Nothing is checked or created.
std::filesystem::path ResolveDataPath(std::string_view relative);

// A stored path is absolute when it starts with "/" or "\" or a drive letter and colon.
bool IsAbsoluteStoredPath(std::string_view stored);

// A stored path ("cfg\back.bmp" or "C:\x.bmp") with every "\" read as "/".
std::string NativeSeparators(std::string_view stored);

// The device of serial port "COM" + n: $HALVANE_COM<n> when set, else the target of the
// link <data root>/dev/COM<n> when it exists, else /dev/ttyS<n-1>.
std::string ResolveComDevice(int n);

} // namespace halvane
