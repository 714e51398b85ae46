#pragma once

// What the Connections dialog's tests share: the boxes an action shows.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace halvane::test {

// The warning and error boxes that `action` shows, as "caption: text" in order: the
// message-box wrapper also writes them to stderr, one line each.
inline std::vector<std::string> BoxesShownBy(const std::function<void()>& action) {
    ::testing::internal::CaptureStderr();
    action();
    std::istringstream lines(::testing::internal::GetCapturedStderr());
    std::vector<std::string> boxes;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("Cannot ") || line.starts_with("Error while "))
            boxes.push_back(line);
    return boxes;
}

} // namespace halvane::test
