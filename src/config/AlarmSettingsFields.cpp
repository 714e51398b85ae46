#include "AlarmSettingsFields.h"

#include "DataRoot.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "SettingsFields.h"

#include <optional>

namespace halvane {

namespace {

constexpr std::string_view kAlarms = "Alarms";
constexpr std::string_view kCommDelayKey = "CommDelay";
constexpr std::string_view kSoundKey = "Sound";
constexpr std::string_view kEventsFolderKey = "EventsFolder";
constexpr int kDefaultCommDelay = 10;
constexpr std::string_view kDefaultEventsFolder = "events";

// False, leaving the stored value, when the text is not a whole number of 0 or more.
bool WriteCommDelay(ProfileStore& config, std::string_view text) {
    const std::optional<int> delay = ParseInteger(text);
    if (!delay || *delay < 0)
        return false;
    if (*delay == kDefaultCommDelay)
        config.DeleteKey(kAlarms, kCommDelayKey);
    else
        config.WriteInteger(kAlarms, kCommDelayKey, *delay);
    return true;
}

void WriteSound(ProfileStore& config, bool sound) {
    if (sound)
        config.DeleteKey(kAlarms, kSoundKey);
    else
        config.WriteBool(kAlarms, kSoundKey, false);
}

void WriteEventsFolder(ProfileStore& config, std::string_view folder) {
    if (folder.empty())
        config.DeleteKey(kAlarms, kEventsFolderKey);
    else
        WriteEditedText(config, kAlarms, kEventsFolderKey, folder);
}

} // namespace

AlarmFields LoadAlarmFields(const ProfileStore& config) {
    AlarmFields settings;
    settings.commDelay =
        ShownText(config, kAlarms, kCommDelayKey, std::to_string(kDefaultCommDelay));
    settings.sound = config.ReadBool(kAlarms, kSoundKey, true);
    settings.eventsFolder = ShownText(config, kAlarms, kEventsFolderKey, "");
    return settings;
}

AlarmSaveOutcome SaveAlarmFields(ProfileStore& config, const AlarmFields& settings) {
    ProfileStore::Batch batch(config);
    AlarmSaveOutcome outcome;
    outcome.commDelayValid = WriteCommDelay(config, settings.commDelay);
    WriteSound(config, settings.sound);
    WriteEventsFolder(config, settings.eventsFolder);
    outcome.written = batch.Commit();
    return outcome;
}

std::filesystem::path EventsFolderPath(std::string_view eventsFolder) {
    if (eventsFolder.empty())
        return ResolveDataPath(kDefaultEventsFolder);
    if (IsAbsoluteStoredPath(eventsFolder))
        return NativeSeparators(eventsFolder);
    return ResolveDataPath(eventsFolder);
}

} // namespace halvane
