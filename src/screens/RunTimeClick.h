#pragma once

#include "ObjectList.h"

#include <QPoint>

#include <cstddef>
#include <optional>
#include <string>

namespace halvane {

class ProfileStore;
struct TDataChannel;

// What releasing the left button over an object asks for in run-time mode.
struct RunTimeClick {
    enum class Kind {
        None,
        PreviousScreen,
        NextScreen,
        ExitNow,
        OpenHistoryFolder,
        AskValue,    // ask the operator, then preset the typed number
        PresetValue, // preset `value`
    };
    Kind kind = Kind::None;
    size_t tagIndex = 0;
    double value = 0;
    bool operator==(const RunTimeClick&) const = default;
};

// Hit tests on the objects' Bounds in client coordinates of the paint area: a point is
// inside when left <= x < right and top <= y < bottom, so an empty Bounds is never hit.
bool BoundsContain(const MarkerRect& bounds, QPoint point);

// The first object from index 0 (the topmost) whose Bounds contain `point`: the one a press
// highlights and the popup menu acts on. -1 for none.
int FrontObjectAt(const ObjectList& objects, QPoint point);

// The last object (the one drawn lowest) whose Bounds contain `point`: the one a release
// acts on. -1 for none.
int BackObjectAt(const ObjectList& objects, QPoint point);

// The run-time cursor at `point`: the hand over an object that a click reaches, else the
// arrow; nothing (keep the cursor) when the screen has no objects.
std::optional<Qt::CursorShape> RunTimeCursorAt(const ObjectList& objects, QPoint point);

// What a click on `object` does with `tagCount` tags in the table. Inputs and preset
// buttons bound outside the table, and function buttons without a known action, do nothing.
RunTimeClick ClickActionOf(const TScreenMarker& object, size_t tagCount);

// A preset button's value as it is written: `attribute` with at most 15 significant
// digits, so 1/3 gives 0.333333333333333. Nothing for a value that is not finite.
std::optional<double> PresetButtonValue(double attribute);

// What an object that asks before writing asks: "Set Pump command to 1 (Running)?", the
// value as the tag shows it (format and unit) and, when a binary or multi-state display
// of the screen shows the tag, the first such display's label for the value.
std::string WriteQuestion(const ObjectList& objects, size_t tagIndex, const TDataChannel& tag,
                          double value, const ProfileStore& config);

} // namespace halvane
