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

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string lower = Lower(argument);
        if (lower == "-runtime" || lower == "/runtime") {
            result.runtime = true;
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
    return result;
}

const char* Usage() {
    return "Usage: halvane [--data-root DIR] [-runtime | /runtime]\n"
           "       halvane --help | --version\n"
           "\n"
           "  --data-root DIR  the folder that holds cfg/config.cfg, the screens, the gallery,\n"
           "                   the history and the web documents (default: $HALVANE_DATA_ROOT,\n"
           "                   else $XDG_DATA_HOME/Korvell/Halvane, else\n"
           "                   ~/.local/share/Korvell/Halvane)\n"
           "  -runtime         start in run-time mode, the window reduced to the screens\n"
           "  --help           show this text\n"
           "  --version        show the version\n";
}

} // namespace halvane
