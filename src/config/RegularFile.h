#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

namespace halvane {

// A whole file's bytes, or why they could not be read.
struct FileContent {
    std::string bytes;
    std::string error; // why the file could not be read; empty when it was
};

// Reads a whole regular file of at most `maxBytes`. Anything else (a folder, a pipe, a
// device) is refused unread, a longer file too; every failure is a value, never thrown.
FileContent ReadRegularFile(const std::filesystem::path& file,
                            std::uintmax_t maxBytes = std::numeric_limits<std::uintmax_t>::max());

} // namespace halvane
