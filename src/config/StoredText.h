#pragma once

#include <string>
#include <string_view>

namespace halvane {

// Text from the configuration, screen and history files is kept as its bytes. For
// display it is read as UTF-8 when it is valid UTF-8, else as Windows-1252.
std::string StoredTextToUtf8(std::string_view stored);

bool IsValidUtf8(std::string_view text);

// 8-bit text of the Windows code page as UTF-8 (trace lines show frame bytes this way).
std::string Windows1252ToUtf8(std::string_view text);

} // namespace halvane
