#pragma once

#include <filesystem>

class QWidget;

namespace halvane {

// Hands a file or folder to the desktop, which opens it in its viewer or file manager.
// When nothing on the desktop opens it, a message tells the user where it is.
void OpenWithDesktop(QWidget* parent, const std::filesystem::path& path);

} // namespace halvane
