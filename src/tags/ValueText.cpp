#include "ValueText.h"

#include "StoredText.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace halvane {

namespace {

// A larger width or precision only makes the text huge.
constexpr int kMaxFieldSize = 99;

enum class Argument { Double, Signed, Unsigned };

// A validated format, rewritten so that its one conversion matches the argument passed:
// "ll" for the integer conversions, no "l" for the floating ones.
struct CheckedFormat {
    std::string text;
    Argument argument = Argument::Double;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool OneOf(std::string_view set, char c) {
    return set.find(c) != std::string_view::npos;
}

// Copies a run of digits at `pos` into `out`; false when its value exceeds kMaxFieldSize.
bool CopyFieldSize(std::string_view format, size_t& pos, std::string& out) {
    int value = 0;
    for (; pos < format.size() && IsDigit(format[pos]); ++pos) {
        value = value * 10 + (format[pos] - '0');
        if (value > kMaxFieldSize)
            return false;
        out += format[pos];
    }
    return true;
}

std::optional<Argument> ArgumentOf(char conversion) {
    if (OneOf("fFeEgGaA", conversion))
        return Argument::Double;
    if (conversion == 'd' || conversion == 'i')
        return Argument::Signed;
    if (OneOf("uxXo", conversion))
        return Argument::Unsigned;
    return std::nullopt;
}

// Parses the conversion that starts with the "%" at `pos`, appends it to `out` and moves
// `pos` past it.
std::optional<Argument> CopyConversion(std::string_view format, size_t& pos, std::string& out) {
    out += format[pos++];
    bool alternate = false;
    for (; pos < format.size() && OneOf("-+ #0", format[pos]); ++pos) {
        alternate = alternate || format[pos] == '#';
        out += format[pos];
    }
    if (!CopyFieldSize(format, pos, out))
        return std::nullopt;
    if (pos < format.size() && format[pos] == '.') {
        out += format[pos++];
        if (!CopyFieldSize(format, pos, out))
            return std::nullopt;
    }
    // "l" before a floating conversion has no effect; it is dropped.
    const bool longModifier = pos < format.size() && format[pos] == 'l';
    if (longModifier)
        ++pos;
    if (pos >= format.size())
        return std::nullopt;
    const char conversion = format[pos++];
    const auto argument = ArgumentOf(conversion);
    if (!argument || (longModifier && argument != Argument::Double))
        return std::nullopt;
    // "#" is defined only for o, x, X and the floating conversions.
    if (alternate && OneOf("diu", conversion))
        return std::nullopt;
    if (argument != Argument::Double)
        out += "ll";
    out += conversion;
    return argument;
}

std::optional<CheckedFormat> CheckFormat(std::string_view format) {
    CheckedFormat checked;
    bool converted = false;
    for (size_t pos = 0; pos < format.size();) {
        const char c = format[pos];
        if (c == '\0')
            return std::nullopt; // printf would stop there
        if (c != '%') {
            checked.text += c;
            ++pos;
        } else if (format.substr(pos, 2) == "%%") {
            checked.text += "%%";
            pos += 2;
        } else {
            if (converted)
                return std::nullopt;
            const auto argument = CopyConversion(format, pos, checked.text);
            if (!argument)
                return std::nullopt;
            checked.argument = *argument;
            converted = true;
        }
    }
    if (!converted)
        return std::nullopt;
    return checked;
}

template <typename T> std::string Printf(const char* format, T value) {
    const int length = std::snprintf(nullptr, 0, format, value);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, value);
    return text;
}

// `value` (finite) truncated toward zero, saturated at the ends of the 64-bit range.
long long WholeNumber(double value) {
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (value >= kLimit)
        return std::numeric_limits<long long>::max();
    if (value < -kLimit)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

} // namespace

std::string FormatValue(std::string_view format, double value) {
    if (format.empty())
        return {};
    const auto checked = CheckFormat(format);
    if (!checked || (checked->argument != Argument::Double && !std::isfinite(value)))
        return Printf("%g", value);
    const char* text = checked->text.c_str();
    switch (checked->argument) {
    case Argument::Signed:
        return Printf(text, WholeNumber(value));
    case Argument::Unsigned:
        return Printf(text, static_cast<unsigned long long>(WholeNumber(value)));
    case Argument::Double:
        break;
    }
    return Printf(text, value);
}

std::string ValueText(const TDataChannel& tag) {
    return FormatValue(tag.Format, tag.RealValue);
}

std::string WithUnit(std::string text, const TDataChannel& tag) {
    const std::string unit = StoredTextToUtf8(tag.Unit);
    return unit.empty() ? text : text + " " + unit;
}

} // namespace halvane
