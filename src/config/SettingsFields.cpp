#include "SettingsFields.h"

#include "NumberFormat.h"
#include "ProfileStore.h"
#include "StoredText.h"

#include <optional>

namespace halvane {

std::string ShownText(const ProfileStore& config, std::string_view section, std::string_view key,
                      std::string_view fallback) {
    return StoredTextToUtf8(config.ReadString(section, key, fallback));
}

void WriteEditedText(ProfileStore& config, std::string_view section, std::string_view key,
                     std::string_view shown) {
    config.WriteString(section, key, TextToStore(shown, config.ReadString(section, key, "")));
}

bool WriteNumber(ProfileStore& config, std::string_view section, std::string_view key,
                 std::string_view text, IntegerRange range) {
    const std::optional<int> value = ParseInteger(text);
    if (!value || *value < range.lowest || *value > range.highest)
        return false;
    config.WriteInteger(section, key, *value);
    return true;
}

} // namespace halvane
