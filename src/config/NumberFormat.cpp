#include "NumberFormat.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

namespace halvane {

namespace {

std::atomic<char> g_decimalSeparator{'.'};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits and exponent of |value| rounded to 15 significant digits, trailing zeros removed.
struct Decimal {
    std::string digits;
    int exponent = 0; // value = 0.d1d2d3... * 10^(exponent + 1)
};

Decimal ToDecimal(double magnitude) {
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                   std::chars_format::scientific, 14);
    (void)ec;
    std::string_view text(buffer.data(), static_cast<size_t>(end - buffer.data()));
    const size_t e = text.find('e');
    Decimal result;
    for (char c : text.substr(0, e))
        if (IsDigit(c))
            result.digits.push_back(c);
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    result.exponent);
    while (result.digits.size() > 1 && result.digits.back() == '0')
        result.digits.pop_back();
    return result;
}

} // namespace

char DecimalSeparator() {
    return g_decimalSeparator.load(std::memory_order_relaxed);
}

void SetDecimalSeparator(char separator) {
    g_decimalSeparator.store(separator);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string FormatGeneral(double value, char separator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    const Decimal d = ToDecimal(std::fabs(value));
    std::string out = value < 0 ? "-" : "";
    if (d.exponent < -5 || d.exponent >= 15) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += separator;
            out.append(d.digits, 1);
        }
        out += 'E';
        out += std::to_string(d.exponent);
        return out;
    }
    if (d.exponent < 0) {
        out += '0';
        out += separator;
        out.append(static_cast<size_t>(-d.exponent - 1), '0');
        out += d.digits;
        return out;
    }
    const size_t whole = static_cast<size_t>(d.exponent) + 1;
    if (d.digits.size() <= whole) {
        out += d.digits;
        out.append(whole - d.digits.size(), '0');
    } else {
        out.append(d.digits, 0, whole);
        out += separator;
        out.append(d.digits, whole);
    }
    return out;
}

std::optional<double> ParseFloat(std::string_view text, char separator) {
    text = TrimBlanks(text);
    if (text.empty())
        return std::nullopt;
    std::string normal(text);
    if (normal.front() == '+')
        normal.erase(0, 1);
    // Only digits, one sign, separators and an exponent: no "inf", "nan" or hex floats.
    const bool plain = std::all_of(normal.begin(), normal.end(), [&](char c) {
        return IsDigit(c) || c == separator || c == '.' || c == '-' || c == '+' || c == 'e' ||
               c == 'E';
    });
    if (!plain || normal.empty())
        return std::nullopt;
    std::replace(normal.begin(), normal.end(), separator, '.');
    double value = 0;
    auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec != std::errc() || end != normal.data() + normal.size())
        return std::nullopt;
    return value;
}

std::optional<int> ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    uint64_t magnitude = 0;
    for (char c : text) {
        const int digit = base == 16 ? HexDigit(c) : (IsDigit(c) ? c - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > UINT32_MAX)
            return std::nullopt;
    }
    if (base == 10 && magnitude > (negative ? uint64_t{1} << 31 : uint64_t{INT_MAX}))
        return std::nullopt;
    // Hexadecimal texts cover the whole 32-bit pattern: $FFFFFFFF is -1.
    const auto bits = static_cast<uint32_t>(negative ? (~magnitude + 1) : magnitude);
    return static_cast<int32_t>(bits);
}

long StrtolPrefix(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            break;
        const int digit = c - '0';
        if (value > (LONG_MAX - digit) / 10)
            return negative ? LONG_MIN : LONG_MAX; // strtol saturates on overflow
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

double StrtodPrefix(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.starts_with("+") || text.starts_with("-"))
        return 0;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Overflow gives HUGE_VAL as with strtod; a negative exponent means underflow.
        const std::string_view parsed(text.data(), static_cast<size_t>(end - text.data()));
        const bool underflow = parsed.find("e-") != std::string_view::npos ||
                               parsed.find("E-") != std::string_view::npos;
        value = underflow ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

std::string FormatFixed(double value, int decimals) {
    std::array<char, 400> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return "0";
    return std::string(buffer.data(), end);
}

} // namespace halvane
