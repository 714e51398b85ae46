#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace halvane {

// A file is written as a temporary file beside it that is then renamed over it. The
// temporary file's name is "." + the file's name + "." + six letters or digits that
// mkstemp() chooses; a process killed during the write leaves it behind.

// The template that mkstemp() completes for a write of `fileName`.
std::string TemporaryNameTemplate(std::string_view fileName);

// The name of the file that `name` is a temporary file of; empty when `name` is not one.
std::string_view TemporaryFileTarget(std::string_view name);

// True for the project files of the cfg folder: "config.cfg" and "screen.N.cfg", N as
// the screen numbers are written (decimal, no sign, no leading zero).
bool IsProjectFileName(std::string_view name);

// Removes from `folder` the temporary files of the project files: regular files of this
// user whose name is exactly the temporary name of a project file. Anything else stays.
// Only safe while no other station may be writing in `folder`.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

} // namespace halvane
