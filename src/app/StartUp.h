#pragma once

#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;

inline constexpr std::string_view kApplicationTitle = "Halvane";
inline constexpr std::string_view kConfigRelativePath = "cfg\\config.cfg";
inline constexpr std::string_view kConfigMissingCaption = "Configuration file not found";
inline constexpr std::string_view kConfigMissingText =
    "Configuration file config.cfg not found. Make sure the program was properly installed "
    "and it is running in correct directory.";

// Makes the texts of binary displays and function buttons present: each key is read with
// its default and the value read is written back, so a changed text keeps its value.
void EnsureStringDefaults(ProfileStore& store);

} // namespace halvane
