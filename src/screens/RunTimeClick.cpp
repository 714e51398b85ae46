#include "RunTimeClick.h"

#include "NumberFormat.h"
#include "ObjectLook.h"
#include "StoredText.h"
#include "TDataChannel.h"
#include "ValueText.h"

#include <algorithm>

namespace halvane {

namespace {

// "AttrInt1" of a function button.
enum FunctionButtonAction : int32_t {
    kPreviousScreen = 0,
    kNextScreen = 1,
    kExitNow = 2,
    kOpenHistoryFolder = 3,
};

RunTimeClick FunctionButtonClick(int32_t action) {
    switch (action) {
    case kPreviousScreen:
        return {RunTimeClick::Kind::PreviousScreen};
    case kNextScreen:
        return {RunTimeClick::Kind::NextScreen};
    case kExitNow:
        return {RunTimeClick::Kind::ExitNow};
    case kOpenHistoryFolder:
        return {RunTimeClick::Kind::OpenHistoryFolder};
    default:
        return {};
    }
}

std::optional<size_t> TagIndex(int32_t channel, size_t tagCount) {
    if (channel < 0 || static_cast<size_t>(channel) >= tagCount)
        return std::nullopt;
    return static_cast<size_t>(channel);
}

// The label of the first display that names the states of the tag; empty when none does
// or when its list has no label for the value.
std::string ValueLabel(const ObjectList& objects, size_t tagIndex, double value,
                       const ProfileStore& config) {
    const auto display = std::find_if(objects.begin(), objects.end(), [tagIndex](const auto& o) {
        return (o.Type == kBinaryDisplay || o.Type == kMultiStateDisplay) && o.Channel >= 0 &&
               static_cast<size_t>(o.Channel) == tagIndex;
    });
    if (display == objects.end())
        return {};
    std::string label = StateLabel(*display, value, config);
    return label == kNoStateLabel ? std::string() : label;
}

} // namespace

bool BoundsContain(const MarkerRect& bounds, QPoint point) {
    return bounds.Left <= point.x() && point.x() < bounds.Right && bounds.Top <= point.y() &&
           point.y() < bounds.Bottom;
}

int FrontObjectAt(const ObjectList& objects, QPoint point) {
    for (size_t index = 0; index < objects.size(); ++index) {
        if (BoundsContain(objects[index].Bounds, point))
            return static_cast<int>(index);
    }
    return -1;
}

int BackObjectAt(const ObjectList& objects, QPoint point) {
    for (size_t index = objects.size(); index-- > 0;) {
        if (BoundsContain(objects[index].Bounds, point))
            return static_cast<int>(index);
    }
    return -1;
}

std::optional<Qt::CursorShape> RunTimeCursorAt(const ObjectList& objects, QPoint point) {
    if (objects.empty())
        return std::nullopt;
    for (const TScreenMarker& object : objects) {
        if (IsClickableType(object.Type) && BoundsContain(object.Bounds, point))
            return Qt::PointingHandCursor;
    }
    return Qt::ArrowCursor;
}

RunTimeClick ClickActionOf(const TScreenMarker& object, size_t tagCount) {
    if (object.Type == kFunctionButton)
        return FunctionButtonClick(object.AttrInt1);
    if (object.Type != kNumericInput && object.Type != kPresetValueButton)
        return {};
    const std::optional<size_t> tag = TagIndex(object.Channel, tagCount);
    if (!tag)
        return {};
    if (object.Type == kNumericInput)
        return {RunTimeClick::Kind::AskValue, *tag};
    const std::optional<double> value = PresetButtonValue(object.AttrDouble1);
    if (!value)
        return {};
    return {RunTimeClick::Kind::PresetValue, *tag, *value};
}

std::string WriteQuestion(const ObjectList& objects, size_t tagIndex, const TDataChannel& tag,
                          double value, const ProfileStore& config) {
    TDataChannel shown = tag;
    shown.RealValue = value;
    std::string question =
        "Set " + StoredTextToUtf8(tag.Name) + " to " + WithUnit(ValueText(shown), tag);
    const std::string label = ValueLabel(objects, tagIndex, value, config);
    if (!label.empty())
        question += " (" + StoredTextToUtf8(label) + ")";
    return question + "?";
}

std::optional<double> PresetButtonValue(double attribute) {
    return ParseFloat(FormatGeneral(attribute, '.'), '.');
}

} // namespace halvane
