#include "PageText.h"

#include "StoredText.h"

#include <algorithm>
#include <cstdint>

namespace halvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unitAt = [&](size_t i) -> char32_t {
        const auto first = static_cast<uint8_t>(bytes[i]);
        const auto second = static_cast<uint8_t>(bytes[i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::string out;
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 3 < bytes.size() && IsLowSurrogate(unitAt(i + 2))) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else {
            AppendUtf8(out, IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit);
        }
    }
    if (i < bytes.size())
        AppendUtf8(out, kReplacement);
    return out;
}

// The code point that starts at `text[i]` and the number of its bytes; an invalid
// sequence is U+FFFD of one byte.
std::pair<char32_t, size_t> Utf8At(std::string_view text, size_t i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80)
        return {lead, 1};
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size() || !IsValidUtf8(text.substr(i, length)))
        return {kReplacement, 1};
    char32_t c = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
    return {c, length};
}

} // namespace

std::string TemplateTextToUtf8(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return StoredTextToUtf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return Utf16ToUtf8(bytes.substr(2), true);
    return StoredTextToUtf8(bytes);
}

std::optional<std::string_view> TakeLine(std::string_view& rest) {
    if (rest.empty())
        return std::nullopt;
    const size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(
        std::min(rest.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1, rest.size()));
    return line;
}

std::string Utf8ToLatin1Page(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto [c, length] = Utf8At(utf8, i);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            out += static_cast<char>(c);
        else
            out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
        i += length;
    }
    return out;
}

} // namespace halvane
