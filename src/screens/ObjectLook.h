#pragma once

#include "TScreenMarker.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <span>
#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;
struct TDataChannel;

// What one object shows: its value and caption texts and the flags they are drawn with.
struct ObjectLook {
    std::string value;
    std::string caption;
    bool highlighted = false;
    bool liveColours = true;
    bool framed = false;
    bool operator==(const ObjectLook&) const = default;
};

// What the texts of one paint are taken from.
struct LookSources {
    std::span<const TDataChannel> tags; // a snapshot of the tag table
    const ProfileStore& config;         // "Strings" of config.cfg
    QDateTime now;
    int pressed = -1; // index of the pressed object, -1 for none
};

// The texts and flags of the object at `index` of the object list. Graphical symbols and
// codes without texts give empty texts.
ObjectLook ComposeObjectLook(const TScreenMarker& object, int index, const LookSources& sources);

// The label a binary or multi-state display shows for `value` of its tag (a binary one's
// set from "Strings" of config.cfg); empty for other objects.
std::string StateLabel(const TScreenMarker& object, double value, const ProfileStore& config);

// A binary label set "on;off": the text before its last ";" when `on`, else the text after
// it (all of it without a ";").
std::string BinaryLabel(std::string_view labelSet, bool on);

// The label of `value` (truncated toward zero to k) in a list "k=label;...": the text
// after the first "k=" that starts the list or follows a ";", up to the next ";".
// kNoStateLabel when there is none.
inline constexpr std::string_view kNoStateLabel = "?";
std::string MultiStateLabel(std::string_view list, double value);

// "h:nn": hours without, minutes with a leading zero.
std::string TimeText(const QTime& time);
// "dd-mm-yyyy".
std::string DateText(const QDate& date);

} // namespace halvane
