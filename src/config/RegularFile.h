#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

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

// Replaces `file` with `content` as a whole: written to a temporary file beside it, forced to
// the disk and renamed over it, so that a reader or a crash sees the old or the new content
// and never a part. A file that is there must be a regular file the user may read and
// write; it keeps its mode. 0 or the errno of the failure, with no temporary file left.
int ReplaceRegularFile(const std::filesystem::path& file, std::string_view content);

} // namespace halvane
