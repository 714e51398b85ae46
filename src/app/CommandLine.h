#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvane {

// One change to, or the list of, the accounts; the program ends after it.
struct AccountCommand {
    enum class Kind { Add, Password, SetRole, Disable, Enable, Remove, List };
    Kind kind = Kind::List;
    std::string name; // of the account; empty for List
    std::string role; // as typed, for Add and SetRole

    bool operator==(const AccountCommand&) const = default;
};

struct CommandLine {
    std::optional<std::string> dataRoot; // --data-root DIR
    bool runtime = false;                // -runtime or /runtime, any letter case
    bool newProject = false;             // --new-project: make one without asking if none
    bool help = false;
    bool version = false;
    std::optional<AccountCommand> account; // --user-add NAME --role ROLE, --user-list, ...
    std::string error;                     // not empty: the arguments could not be used
};

// The program's arguments (without the program name). Options of the window toolkit
// (-platform X, -style X, ...) are passed over.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

const char* Usage();

} // namespace halvane
