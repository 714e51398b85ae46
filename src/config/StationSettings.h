#pragma once

#include <string>

namespace halvane {

class ProfileStore;

// The program-wide options of "General" and "WebServer" as the settings dialog shows them:
// check boxes as flags, fields as their UTF-8 text.
struct StationSettings {
    bool historyEnabled = false;
    std::string interval;  // seconds
    std::string retention; // days
    std::string separator; // at most one character
    bool webServerEnabled = false;
    std::string webPort;
    std::string webUsername;
    std::string webPassword;
    bool ignoreCrc = false;
    // No control shows these: they are written back as they were read.
    bool navigatorShow = false;
    int navigatorType = 0;
    bool floatingScreens = false;

    bool operator==(const StationSettings&) const = default;
};

// Which of the typed numbers were refused, and whether the file took the values.
struct SettingsSaveOutcome {
    bool timesValid = true; // interval and retention
    bool portValid = true;
    bool written = true;

    bool operator==(const SettingsSaveOutcome&) const = default;
};

// The stored values; an absent key, or one that does not hold what it should, reads as its
// default: interval 60, retention 30 (the logger itself keeps 7 days until one is stored),
// separator ",", port "8088", the others off, 0 or empty. The separator is the first
// character of the stored one; the port is the stored text, whatever it holds.
StationSettings LoadStationSettings(const ProfileStore& config);

// Writes, in one file write and in this order: "Log.Enabled", "Log.Separator",
// "Navigator.Show", "Navigator.Type", "IgnoreCRC", "FloatingScreens", "Log.Interval",
// "Log.Retention", then "WebServer": "Enabled", "Port", "Username", "Password".
// A number that is not a whole number, a negative interval or retention (a negative
// retention would have the next start remove the latest day files) or a port outside
// 1..65535 keeps its stored value; every other value is written all the same. A text left
// as it was shown keeps its stored bytes.
SettingsSaveOutcome SaveStationSettings(ProfileStore& config, const StationSettings& settings);

} // namespace halvane
