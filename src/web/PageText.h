#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// The text of a template file as UTF-8. A byte-order mark names the encoding (UTF-8,
// UTF-16 LE, UTF-16 BE); without one, valid UTF-8 is read as UTF-8 and anything else as
// Windows-1252, like all stored text. Broken UTF-16 becomes U+FFFD.
std::string TemplateTextToUtf8(std::string_view bytes);

// The first line of `rest`, which then starts after the line's end: CR LF, a lone LF or a
// lone CR. Nothing once `rest` is empty, so a line end at the very end opens no further
// line and an empty text has no lines.
std::optional<std::string_view> TakeLine(std::string_view& rest);

// UTF-8 text as the body of a page sent as "text/html; charset=ISO-8859-1", one byte per
// character. Browsers read a page of that charset as Windows-1252 (the two labels name
// one encoding for them), which agrees with ISO 8859-1 except at 0x80-0x9F: characters
// U+0000-U+007F and U+00A0-U+00FF therefore go out as their single ISO 8859-1 byte, every
// other character as the numeric character reference "&#N;", which a browser shows as
// that character whatever it takes the bytes for. Invalid UTF-8 bytes count as U+FFFD.
std::string Utf8ToLatin1Page(std::string_view utf8);

} // namespace halvane
