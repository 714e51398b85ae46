#pragma once

#include <string>
#include <string_view>

namespace halvane {

// Text from the configuration, screen and history files is kept as its bytes. For
// display it is read as UTF-8 when it is valid UTF-8, else as Windows-1252.
std::string StoredTextToUtf8(std::string_view stored);

bool IsValidUtf8(std::string_view text);

// What an edit that showed `stored` writes back: the stored bytes while the text is still
// as shown, else the text as typed (UTF-8).
std::string TextToStore(std::string_view shown, std::string_view stored);

// 8-bit text of the Windows code page as UTF-8 (trace lines show frame bytes this way).
std::string Windows1252ToUtf8(std::string_view text);

} // namespace halvane
