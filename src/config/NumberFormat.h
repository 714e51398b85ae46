#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// The decimal separator of the user's locale, used for floating-point values in the
// configuration files. Set once at start-up; tests pin it.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// General format with 15 significant digits: the shortest text that keeps up to 15
// significant digits, plain for magnitudes from 0.00001 up to 15 digits before the
// point, otherwise scientific ("1.5E20", "1E-6"). Independent of the C locale.
std::string FormatGeneral(double value, char separator = DecimalSeparator());

// A whole text as a floating-point number, with `separator` or "." as the decimal
// point; blanks around it are allowed. Empty or malformed text gives nothing.
std::optional<double> ParseFloat(std::string_view text, char separator = DecimalSeparator());

// A whole text as a 32-bit integer: decimal, or hexadecimal after "0x" or "$" (up to
// 8 hex digits, wrapping into the signed range). A sign may precede either.
std::optional<int> ParseInteger(std::string_view text);

// C strtol (base 10) and strtod on a prefix, independent of the C locale: leading
// blanks and a sign are skipped, conversion stops at the first character that does not
// fit, no digits give 0.
long StrtolPrefix(std::string_view text);
double StrtodPrefix(std::string_view text);

// printf "%0.<decimals>f" with a point as the separator, whatever the C locale.
std::string FormatFixed(double value, int decimals);

std::string_view TrimBlanks(std::string_view text);

} // namespace halvane
