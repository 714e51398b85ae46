#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvane {

struct CommandLine {
    std::optional<std::string> dataRoot; // --data-root DIR
    bool runtime = false;                // -runtime or /runtime, any letter case
    bool help = false;
    bool version = false;
    std::string error; // not empty: the arguments could not be used
};

// The program's arguments (without the program name). Options of the window toolkit
// (-platform X, -style X, ...) are passed over.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

const char* Usage();

} // namespace halvane
