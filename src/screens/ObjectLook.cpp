#include "ObjectLook.h"

#include "ProfileStore.h"
#include "TDataChannel.h"
#include "ValueConversion.h"
#include "ValueText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace halvane {

namespace {

constexpr std::string_view kStringsSection = "Strings";

const TDataChannel* TagAt(const LookSources& sources, int32_t channel) {
    if (channel < 0 || static_cast<size_t>(channel) >= sources.tags.size())
        return nullptr;
    return &sources.tags[static_cast<size_t>(channel)];
}

// A text without caption, as time, date, static texts and buttons show.
ObjectLook PlainLook(std::string value, bool highlighted = false, bool framed = false) {
    ObjectLook look;
    look.value = std::move(value);
    look.highlighted = highlighted;
    look.framed = framed;
    return look;
}

ObjectLook TagValueLook(std::string value, const TDataChannel& tag) {
    ObjectLook look;
    look.value = std::move(value);
    look.caption = tag.Name;
    look.liveColours = tag.ValueValid;
    return look;
}

ObjectLook UnknownTag(int32_t channel) {
    ObjectLook look;
    look.value = "?";
    look.caption = "unknown ";
    look.caption += std::to_string(channel);
    return look;
}

ObjectLook NumericLook(const TDataChannel& tag) {
    ObjectLook look = TagValueLook(ValueText(tag), tag);
    if (!tag.Unit.empty())
        look.value += " " + tag.Unit;
    look.highlighted = AlarmState(tag) != kAlarmNone;
    return look;
}

bool IsOn(double value) {
    return value >= 0.5;
}

ObjectLook BinaryLook(const TScreenMarker& object, const TDataChannel& tag,
                      const ProfileStore& config) {
    ObjectLook look = TagValueLook(StateLabel(object, tag.RealValue, config), tag);
    look.highlighted = IsOn(tag.RealValue);
    return look;
}

// Numeric displays, binary and multi-state displays and numeric inputs: "?" and
// "unknown N" for a tag index outside the table.
ObjectLook TagLook(const TScreenMarker& object, const LookSources& sources) {
    const TDataChannel* tag = TagAt(sources, object.Channel);
    if (tag == nullptr)
        return UnknownTag(object.Channel);
    switch (object.Type) {
    case kBinaryDisplay:
        return BinaryLook(object, *tag, sources.config);
    case kMultiStateDisplay:
        return TagValueLook(StateLabel(object, tag->RealValue, sources.config), *tag);
    default:
        return NumericLook(*tag);
    }
}

std::string FunctionButtonCaption(int32_t action, const ProfileStore& config) {
    return config.ReadString(kStringsSection, "FunctionButton." + std::to_string(action), "BUTTON");
}

// Whole numbers that "%d" can show; nothing for values beyond 64 bits or not a number.
std::optional<int64_t> TruncateToWhole(double value) {
    if (!(std::fabs(value) < 9.2e18))
        return std::nullopt;
    return static_cast<int64_t>(value);
}

} // namespace

ObjectLook ComposeObjectLook(const TScreenMarker& object, int index, const LookSources& sources) {
    const bool pressed = index == sources.pressed;
    switch (object.Type) {
    case kNumericDisplay:
    case kBinaryDisplay:
    case kMultiStateDisplay:
        return TagLook(object, sources);
    case kNumericInput: {
        ObjectLook look = TagLook(object, sources);
        look.highlighted = pressed;
        look.framed = true;
        return look;
    }
    case kCurrentTime:
        return PlainLook(TimeText(sources.now.time()));
    case kCurrentDate:
        return PlainLook(DateText(sources.now.date()));
    case kFunctionButton:
        return PlainLook(FunctionButtonCaption(object.AttrInt1, sources.config), pressed, true);
    case kStaticText:
        return PlainLook(object.AttrStr1);
    case kPresetValueButton:
        return PlainLook(object.AttrStr1, pressed, true);
    default:
        return {};
    }
}

std::string StateLabel(const TScreenMarker& object, double value, const ProfileStore& config) {
    if (object.Type == kMultiStateDisplay)
        return MultiStateLabel(object.AttrStr1, value);
    if (object.Type != kBinaryDisplay)
        return {};
    const std::string labels = config.ReadString(
        kStringsSection, "Marker.Binary." + std::to_string(object.AttrInt1), "On;Off");
    return BinaryLabel(labels, IsOn(value));
}

std::string BinaryLabel(std::string_view labelSet, bool on) {
    const size_t last = labelSet.rfind(';');
    if (last == std::string_view::npos)
        return on ? std::string() : std::string(labelSet);
    return std::string(on ? labelSet.substr(0, last) : labelSet.substr(last + 1));
}

std::string MultiStateLabel(std::string_view list, double value) {
    const std::optional<int64_t> whole = TruncateToWhole(value);
    if (!whole)
        return std::string(kNoStateLabel);
    const std::string key = std::to_string(*whole) + "=";
    for (size_t at = list.find(key); at != std::string_view::npos; at = list.find(key, at + 1)) {
        if (at != 0 && list[at - 1] != ';')
            continue;
        const std::string_view rest = list.substr(at + key.size());
        return std::string(rest.substr(0, rest.find(';')));
    }
    return std::string(kNoStateLabel);
}

std::string TimeText(const QTime& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", time.hour(), time.minute());
    return text;
}

std::string DateText(const QDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", date.day(), date.month(),
                  static_cast<int>(date.year()));
    return text;
}

} // namespace halvane
