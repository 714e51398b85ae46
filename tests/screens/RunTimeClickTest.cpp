#include "RunTimeClick.h"
#include "ProfileStore.h"
#include "TDataChannel.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace halvane;

namespace {

TScreenMarker Object(int32_t type, MarkerRect bounds, int32_t attrInt = -1, int32_t channel = 0,
                     double attrDouble = 0) {
    TScreenMarker object;
    object.Type = type;
    object.Bounds = bounds;
    object.AttrInt1 = attrInt;
    object.Channel = channel;
    object.AttrDouble1 = attrDouble;
    return object;
}

TEST(RunTimeClick, BoundsIncludeLeftAndTopButNotRightAndBottom) {
    const MarkerRect bounds{10, 20, 30, 40};
    struct Case {
        QPoint point;
        bool inside;
    } const cases[] = {
        {{10, 20}, true},  {{29, 39}, true}, {{30, 20}, false},
        {{10, 40}, false}, {{9, 25}, false}, {{15, 19}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoundsContain(bounds, c.point), c.inside) << c.point.x() << "," << c.point.y();
    EXPECT_FALSE(BoundsContain({10, 20, 10, 40}, {10, 25})) << "no width: never hit";
}

// Index 0 lies on top: a press takes the first object under the pointer, a release the
// last one.
TEST(RunTimeClick, PressTakesTheFrontObjectAndClickTheBackOne) {
    const ObjectList objects = {
        Object(kFunctionButton, {0, 0, 50, 50}),
        Object(kStaticText, {100, 100, 120, 120}),
        Object(kFunctionButton, {20, 20, 80, 80}),
        Object(kPresetValueButton, {40, 40, 60, 60}),
    };
    struct Case {
        QPoint point;
        int front, back;
    } const cases[] = {
        {{45, 45}, 0, 3}, {{25, 25}, 0, 2},   {{70, 70}, 2, 2},
        {{5, 5}, 0, 0},   {{110, 110}, 1, 1}, {{90, 10}, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrontObjectAt(objects, c.point), c.front) << c.point.x() << "," << c.point.y();
        EXPECT_EQ(BackObjectAt(objects, c.point), c.back) << c.point.x() << "," << c.point.y();
    }
    EXPECT_EQ(FrontObjectAt({}, {0, 0}), -1);
    EXPECT_EQ(BackObjectAt({}, {0, 0}), -1);
}

TEST(RunTimeClick, HandCursorOverAnyClickableObjectEvenBehindAnother) {
    const ObjectList objects = {
        Object(kStaticText, {0, 0, 100, 20}),        Object(kFunctionButton, {0, 0, 50, 20}),
        Object(kReservedWriteType, {0, 30, 50, 50}), Object(kGraphicalSymbol, {0, 60, 50, 80}),
        Object(kNumericDisplay, {0, 90, 50, 110}),   Object(kNumericInput, {60, 30, 90, 50}),
    };
    struct Case {
        QPoint point;
        Qt::CursorShape cursor;
    } const cases[] = {
        {{10, 10}, Qt::PointingHandCursor}, // a button under a static text
        {{70, 10}, Qt::ArrowCursor},        // the static text alone
        {{10, 40}, Qt::PointingHandCursor}, {{70, 40}, Qt::PointingHandCursor},
        {{10, 70}, Qt::ArrowCursor},        {{10, 100}, Qt::ArrowCursor},
        {{200, 200}, Qt::ArrowCursor},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunTimeCursorAt(objects, c.point), c.cursor) << c.point.x() << "," << c.point.y();
    EXPECT_EQ(RunTimeCursorAt({}, {10, 10}), std::nullopt) << "no objects: the cursor stays";
}

TEST(RunTimeClick, ActionsByTypeAndAttribute) {
    using Kind = RunTimeClick::Kind;
    constexpr size_t kTags = 3;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        int32_t type, attrInt, channel;
        double attrDouble;
        RunTimeClick click;
    } const cases[] = {
        {kFunctionButton, 0, 0, 0, {Kind::PreviousScreen}},
        {kFunctionButton, 1, 0, 0, {Kind::NextScreen}},
        {kFunctionButton, 2, 0, 0, {Kind::ExitNow}},
        {kFunctionButton, 3, 0, 0, {Kind::OpenHistoryFolder}},
        {kFunctionButton, 4, 0, 0, {}},
        {kFunctionButton, -1, 0, 0, {}},
        {kNumericInput, -1, 2, 0, {Kind::AskValue, 2}},
        {kNumericInput, -1, 3, 0, {}},
        {kNumericInput, -1, -1, 0, {}},
        {kPresetValueButton, -1, 1, 0.1, {Kind::PresetValue, 1, 0.1}},
        {kPresetValueButton, -1, 0, 1.0 / 3, {Kind::PresetValue, 0, 0.333333333333333}},
        {kPresetValueButton, -1, 0, -2.5e20, {Kind::PresetValue, 0, -2.5e20}},
        {kPresetValueButton, -1, 0, 123456789.123456789, {Kind::PresetValue, 0, 123456789.123457}},
        {kPresetValueButton, -1, 3, 1, {}},
        {kPresetValueButton, -1, 0, nan, {}},
        {kPresetValueButton, -1, 0, inf, {}},
        {kReservedWriteType, 0, 0, 1, {}},
        {kNumericDisplay, 0, 0, 1, {}},
        {kStaticText, 1, 0, 1, {}},
        {kGraphicalSymbol, 1, 0, 1, {}},
    };
    for (const Case& c : cases) {
        const RunTimeClick click =
            ClickActionOf(Object(c.type, {}, c.attrInt, c.channel, c.attrDouble), kTags);
        EXPECT_EQ(click, c.click) << "type " << c.type << " attr " << c.attrInt << " channel "
                                  << c.channel << " value " << c.attrDouble;
    }
}

// The question names the tag, shows the value as the tag formats it and, when a display
// on the screen names the tag's states, the first such display's label for the value.
TEST(RunTimeClick, WriteQuestionShowsTheValueAsTheTagDoes) {
    TempDir dir;
    ProfileStore config(dir / "config.cfg");
    config.WriteString("Strings", "Marker.Binary.1", "Running;Stopped");
    TDataChannel command;
    command.Name = "Pump command";
    command.Format = "%.0f";
    TDataChannel speed = command;
    speed.Name = "Pump speed";
    speed.Format = "%0.1f";
    speed.Unit = "%";
    TScreenMarker binary = Object(kBinaryDisplay, {}, 1, 3);
    TScreenMarker states = Object(kMultiStateDisplay, {}, -1, 3);
    states.AttrStr1 = "0=Off;1=Slow;2=Fast";
    const TScreenMarker otherTag = Object(kBinaryDisplay, {}, 1, 4);
    const struct {
        const char* name;
        ObjectList objects;
        TDataChannel tag;
        double value;
        std::string question;
    } cases[] = {
        {"binary label, on",
         {otherTag, binary, states},
         command,
         1,
         "Set Pump command to 1 (Running)?"},
        {"binary label, off", {binary}, command, 0, "Set Pump command to 0 (Stopped)?"},
        {"multi-state label first", {states, binary}, command, 2, "Set Pump command to 2 (Fast)?"},
        {"multi-state without a label", {states}, command, 7, "Set Pump command to 7?"},
        {"display of another tag", {otherTag}, command, 1, "Set Pump command to 1?"},
        {"format and unit", {}, speed, 42.25, "Set Pump speed to 42.2 %?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriteQuestion(c.objects, 3, c.tag, c.value, config), c.question) << c.name;
}

} // namespace
