#include "CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace halvane {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Qt's own options: the toolkit reads them, we only step over them.
constexpr std::array<std::string_view, 13> kToolkitOptionsWithValue{
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin",     "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-style",         "-stylesheet", "-session",
    "-display",     "-geometry",           "-qmljsdebugger"};
constexpr std::array<std::string_view, 5> kToolkitFlags{"-reverse", "-widgetcount", "-nograb",
                                                        "-dograb", "-sync"};

template <size_t N> bool Contains(const std::array<std::string_view, N>& list, std::string_view s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

struct AccountOption {
    std::string_view option;
    AccountCommand::Kind kind;
    size_t valueCount;       // the user name, then the role
    std::string_view values; // what follows the option, for the message when it is missing
};

constexpr std::array<AccountOption, 7> kAccountOptions{{
    {"--user-add", AccountCommand::Kind::Add, 1, "a user name"},
    {"--user-passwd", AccountCommand::Kind::Password, 1, "a user name"},
    {"--user-role", AccountCommand::Kind::SetRole, 2, "a user name and a role"},
    {"--user-disable", AccountCommand::Kind::Disable, 1, "a user name"},
    {"--user-enable", AccountCommand::Kind::Enable, 1, "a user name"},
    {"--user-del", AccountCommand::Kind::Remove, 1, "a user name"},
    {"--user-list", AccountCommand::Kind::List, 0, ""},
}};

const AccountOption* FindAccountOption(std::string_view argument) {
    const auto found =
        std::find_if(kAccountOptions.begin(), kAccountOptions.end(),
                     [argument](const AccountOption& o) { return o.option == argument; });
    return found == kAccountOptions.end() ? nullptr : &*found;
}

// Reads the account option at arguments[i] and its values, moving `i` to the last one used.
// Returns the message why it cannot be used, or an empty text.
std::string ReadAccountOption(const AccountOption& option,
                              const std::vector<std::string>& arguments, size_t& i,
                              CommandLine& result) {
    if (result.account)
        return "give only one --user-... option at a time";
    if (arguments.size() - i - 1 < option.valueCount)
        return std::string(option.option) + " needs " + std::string(option.values);
    AccountCommand command{option.kind, {}, {}};
    if (option.valueCount >= 1)
        command.name = arguments[++i];
    if (option.valueCount == 2)
        command.role = arguments[++i];
    result.account = command;
    return {};
}

// What is wrong with the account command and the options beside it, or an empty text.
std::string AccountCombinationProblem(const CommandLine& result,
                                      const std::optional<std::string>& role) {
    if (!result.account)
        return role ? "--role goes with --user-add only" : "";
    const bool adding = result.account->kind == AccountCommand::Kind::Add;
    if (adding && !role)
        return "--user-add needs --role ROLE";
    if (!adding && role)
        return "--role goes with --user-add only";
    if (result.runtime)
        return "-runtime does not go with a --user-... option";
    if (result.newProject)
        return "--new-project does not go with a --user-... option";
    return {};
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    std::optional<std::string> role;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string lower = Lower(argument);
        if (lower == "-runtime" || lower == "/runtime") {
            result.runtime = true;
        } else if (argument == "--new-project") {
            result.newProject = true;
        } else if (argument == "--help" || argument == "-h") {
            result.help = true;
        } else if (argument == "--version") {
            result.version = true;
        } else if (argument == "--data-root") {
            if (i + 1 >= arguments.size()) {
                result.error = "--data-root needs a folder";
                return result;
            }
            result.dataRoot = arguments[++i];
        } else if (argument.starts_with("--data-root=")) {
            result.dataRoot = argument.substr(std::string_view("--data-root=").size());
        } else if (const AccountOption* option = FindAccountOption(argument)) {
            result.error = ReadAccountOption(*option, arguments, i, result);
            if (!result.error.empty())
                return result;
        } else if (argument == "--role") {
            if (i + 1 >= arguments.size() || role) {
                result.error = "--role needs one role";
                return result;
            }
            role = arguments[++i];
        } else if (Contains(kToolkitOptionsWithValue, argument)) {
            ++i;
        } else if (Contains(kToolkitFlags, argument)) {
            continue;
        } else {
            result.error = "unknown option: " + argument;
            return result;
        }
        if (result.dataRoot && result.dataRoot->empty()) {
            result.error = "--data-root needs a folder";
            return result;
        }
    }
    result.error = AccountCombinationProblem(result, role);
    if (result.account && role)
        result.account->role = *role;
    return result;
}

const char* Usage() {
    return "Usage: halvane [--data-root DIR] [--new-project] [-runtime | /runtime]\n"
           "       halvane [--data-root DIR] --user-add NAME --role ROLE\n"
           "       halvane [--data-root DIR] --user-passwd NAME | --user-role NAME ROLE\n"
           "               | --user-disable NAME | --user-enable NAME | --user-del NAME\n"
           "               | --user-list\n"
           "       halvane --help | --version\n"
           "\n"
           "  --data-root DIR  the folder that holds cfg/config.cfg, the screens, the gallery,\n"
           "                   the history and the web documents (default: $HALVANE_DATA_ROOT,\n"
           "                   else $XDG_DATA_HOME/Korvell/Halvane, else\n"
           "                   ~/.local/share/Korvell/Halvane)\n"
           "  --new-project    when DIR holds no project (no cfg/config.cfg), make a new one\n"
           "                   there without asking: connections off, the text styles\n"
           "                   Value and Caption, one empty screen, the starter gallery and\n"
           "                   a web page of every tag. Without it the station asks first;\n"
           "                   where nobody can answer, and with -runtime, it ends instead\n"
           "  -runtime         start in run-time mode, the window reduced to the screens\n"
           "  --user-add NAME --role ROLE\n"
           "                   add an account; ROLE is viewer, operator, engineer or admin\n"
           "  --user-passwd NAME\n"
           "                   give an account a new password\n"
           "  --user-role NAME ROLE\n"
           "                   give an account another role\n"
           "  --user-disable NAME, --user-enable NAME\n"
           "                   stop or allow an account's logins\n"
           "  --user-del NAME  delete an account\n"
           "  --user-list      list the accounts: name, role and \"disabled\"\n"
           "                   The --user-... options change cfg/users.cfg, also beside a\n"
           "                   running station, and end the program. A password is read\n"
           "                   from standard input, one line; a terminal is asked twice,\n"
           "                   without echo. A refused change ends with status 2.\n"
           "  --help           show this text\n"
           "  --version        show the version\n";
}

} // namespace halvane
