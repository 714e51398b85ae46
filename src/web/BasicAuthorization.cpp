#include "BasicAuthorization.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace halvane {

namespace {

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Strict base64: groups of four digits, "=" padding only at the end of the last group.
std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    const size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    std::string out;
    uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text.substr(0, text.size() - padding)) {
        const int digit = Base64Digit(c);
        if (digit < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(digit);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    return out;
}

bool StartsWithScheme(std::string_view header, std::string_view scheme) {
    return header.size() > scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), header.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

Credentials DecodeBasicAuthorization(std::string_view header) {
    constexpr std::string_view kScheme = "Basic ";
    if (!StartsWithScheme(header, kScheme))
        return {};
    const std::string_view rest = header.substr(kScheme.size());
    const size_t first = rest.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto decoded = DecodeBase64(rest.substr(first, rest.find_last_not_of(' ') - first + 1));
    const size_t colon = decoded ? decoded->find(':') : std::string::npos;
    if (colon == std::string::npos)
        return {};
    return {decoded->substr(0, colon), decoded->substr(colon + 1)};
}

} // namespace halvane
