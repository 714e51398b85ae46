#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;

// Section "Alarms" of config.cfg as the settings dialog shows it: the switch as a flag,
// fields as their UTF-8 text.
struct AlarmFields {
    std::string commDelay;    // seconds a link may fail before its tags raise alarms; 0: never
    bool sound = true;        // for unacknowledged priority 1 and 2 alarms
    std::string eventsFolder; // empty: "events" in the data root; relative: under it

    bool operator==(const AlarmFields&) const = default;
};

// Which of the typed values was refused, and whether the file took the values.
struct AlarmSaveOutcome {
    bool commDelayValid = true;
    bool written = true;

    bool operator==(const AlarmSaveOutcome&) const = default;
};

// The stored values: the delay as its stored text (default "10"), the sound switch
// (default on) and the folder (default empty).
AlarmFields LoadAlarmFields(const ProfileStore& config);

// Writes "CommDelay", "Sound" and "EventsFolder", in this order and in one file write
// (or in the caller's batch); each is written only when it differs from its default and
// erased otherwise, so that a project that never changed them keeps no "Alarms" section.
// A delay that is not a whole number of 0 or more keeps its stored value; the other
// values are written all the same. A folder left as it was shown keeps its stored bytes.
AlarmSaveOutcome SaveAlarmFields(ProfileStore& config, const AlarmFields& settings);

// The journal's folder for an "EventsFolder" text.
std::filesystem::path EventsFolderPath(std::string_view eventsFolder);

} // namespace halvane
