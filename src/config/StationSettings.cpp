#include "StationSettings.h"

#include "ProfileStore.h"
#include "SettingsFields.h"
#include "StoredText.h"

#include <climits>
#include <cstdint>
#include <string_view>

namespace halvane {

namespace {

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kWebServer = "WebServer";
constexpr std::string_view kSeparatorKey = "Log.Separator";
constexpr int kDefaultInterval = 60;
constexpr int kDefaultRetention = 30;
constexpr std::string_view kDefaultSeparator = ",";
constexpr std::string_view kDefaultPort = "8088";

constexpr IntegerRange kTimeRange{0, INT_MAX};
constexpr IntegerRange kPortRange{1, 65535};

// The bytes of the first character of a stored text: a whole sequence when the text is
// valid UTF-8, else one byte of the Windows code page.
std::string_view FirstCharacter(std::string_view stored) {
    if (stored.empty() || !IsValidUtf8(stored))
        return stored.substr(0, 1);
    const auto lead = static_cast<uint8_t>(stored.front());
    return stored.substr(0, lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4);
}

std::string StoredSeparator(const ProfileStore& config) {
    return std::string(
        FirstCharacter(config.ReadString(kGeneral, kSeparatorKey, kDefaultSeparator)));
}

} // namespace

StationSettings LoadStationSettings(const ProfileStore& config) {
    StationSettings settings;
    settings.historyEnabled = config.ReadBool(kGeneral, "Log.Enabled", false);
    settings.interval =
        std::to_string(config.ReadInteger(kGeneral, "Log.Interval", kDefaultInterval));
    settings.retention =
        std::to_string(config.ReadInteger(kGeneral, "Log.Retention", kDefaultRetention));
    settings.separator = StoredTextToUtf8(StoredSeparator(config));
    settings.webServerEnabled = config.ReadBool(kWebServer, "Enabled", false);
    settings.webPort = ShownText(config, kWebServer, "Port", kDefaultPort);
    settings.webUsername = ShownText(config, kWebServer, "Username", "");
    settings.webPassword = ShownText(config, kWebServer, "Password", "");
    settings.ignoreCrc = config.ReadBool(kGeneral, "IgnoreCRC", false);
    settings.navigatorShow = config.ReadBool(kGeneral, "Navigator.Show", false);
    settings.navigatorType = config.ReadInteger(kGeneral, "Navigator.Type", 0);
    settings.floatingScreens = config.ReadBool(kGeneral, "FloatingScreens", false);
    return settings;
}

SettingsSaveOutcome SaveStationSettings(ProfileStore& config, const StationSettings& settings) {
    ProfileStore::Batch batch(config);
    config.WriteBool(kGeneral, "Log.Enabled", settings.historyEnabled);
    config.WriteString(kGeneral, kSeparatorKey,
                       TextToStore(settings.separator, StoredSeparator(config)));
    config.WriteBool(kGeneral, "Navigator.Show", settings.navigatorShow);
    config.WriteInteger(kGeneral, "Navigator.Type", settings.navigatorType);
    config.WriteBool(kGeneral, "IgnoreCRC", settings.ignoreCrc);
    config.WriteBool(kGeneral, "FloatingScreens", settings.floatingScreens);
    SettingsSaveOutcome outcome;
    const bool interval =
        WriteNumber(config, kGeneral, "Log.Interval", settings.interval, kTimeRange);
    const bool retention =
        WriteNumber(config, kGeneral, "Log.Retention", settings.retention, kTimeRange);
    outcome.timesValid = interval && retention;
    config.WriteBool(kWebServer, "Enabled", settings.webServerEnabled);
    outcome.portValid = WriteNumber(config, kWebServer, "Port", settings.webPort, kPortRange);
    WriteEditedText(config, kWebServer, "Username", settings.webUsername);
    WriteEditedText(config, kWebServer, "Password", settings.webPassword);
    outcome.written = batch.Commit();
    return outcome;
}

} // namespace halvane
