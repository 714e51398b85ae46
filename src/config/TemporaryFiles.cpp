#include "TemporaryFiles.h"

#include <algorithm>
#include <charconv>
#include <sys/stat.h>
#include <unistd.h>

namespace halvane {

namespace {

constexpr size_t kUniqueLength = 6; // the "XXXXXX" that mkstemp() replaces

// mkstemp() draws the unique part from the letters and digits of the C locale.
bool IsUniqueCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A screen number as it is written: the digits of a non-negative int, without a leading 0.
bool IsScreenNumber(std::string_view digits) {
    int number = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() && number >= 0 &&
           std::to_string(number) == digits;
}

bool IsOwnRegularFile(const std::filesystem::path& file) {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace

std::string TemporaryNameTemplate(std::string_view fileName) {
    return "." + std::string(fileName) + "." + std::string(kUniqueLength, 'X');
}

std::string_view TemporaryFileTarget(std::string_view name) {
    const size_t frame = 2 + kUniqueLength; // the leading dot, the dot and the unique part
    if (name.size() <= frame || name.front() != '.' ||
        name[name.size() - kUniqueLength - 1] != '.' ||
        !std::all_of(name.end() - kUniqueLength, name.end(), IsUniqueCharacter))
        return {};
    return name.substr(1, name.size() - frame);
}

bool IsProjectFileName(std::string_view name) {
    constexpr std::string_view prefix = "screen.";
    constexpr std::string_view suffix = ".cfg";
    if (name == "config.cfg")
        return true;
    return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix) &&
           IsScreenNumber(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& file = it->path();
        const std::string name = file.filename().string();
        const std::string_view target = TemporaryFileTarget(name);
        // What cannot be removed stays; it harms nothing but the folder's tidiness.
        std::error_code ignored;
        if (!target.empty() && IsProjectFileName(target) && IsOwnRegularFile(file))
            std::filesystem::remove(file, ignored);
    }
}

} // namespace halvane
