#pragma once

#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;

// How the settings dialogs move a key between the file and a field.

struct IntegerRange {
    int lowest;
    int highest;
};

// The stored text as UTF-8.
std::string ShownText(const ProfileStore& config, std::string_view section, std::string_view key,
                      std::string_view fallback);

// A typed text goes out as it was typed; one left as shown keeps the bytes it was read from.
void WriteEditedText(ProfileStore& config, std::string_view section, std::string_view key,
                     std::string_view shown);

// Writes the number a text holds when it is a whole number within `range`; false, leaving
// the stored value, otherwise.
bool WriteNumber(ProfileStore& config, std::string_view section, std::string_view key,
                 std::string_view text, IntegerRange range);

} // namespace halvane
