#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace halvane {

// Whether `root` holds a project: its cfg/config.cfg.
bool HoldsProject(const std::filesystem::path& root);

// Makes a project that starts alive in `root` (created when missing): cfg/config.cfg with
// the connections off, the text styles "Value" and "Caption" whose highlighted look is red
// and bold, one empty screen, a copy of `gallery` when given and http/index.html.tpl listing
// every tag with its value and status. Files already in the folder are kept. Returns why
// nothing was made, or an empty text: a folder that holds a project already is refused, and
// whatever a failed attempt made is removed again.
std::string MakeNewProject(const std::filesystem::path& root,
                           const std::optional<std::filesystem::path>& gallery);

} // namespace halvane
