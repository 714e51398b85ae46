#include "ScreenTestSupport.h"

#include "ActingObjects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace halvane;

namespace {

struct Row {
    TScreenMarker object;
    std::optional<ActingObject> expected; // what a browser learns of it, nothing when omitted
};

TScreenMarker Bound(int32_t type, int32_t channel, int32_t attrInt = -1, double attrDouble = 0,
                    bool confirm = false) {
    static int32_t top = 0;
    top += 20;
    TScreenMarker object = PlacedObject(type, {10, top, 50, top + 15});
    object.Channel = channel;
    object.AttrInt1 = attrInt;
    object.AttrDouble1 = attrDouble;
    object.Confirm = confirm;
    return object;
}

ActingObject Info(const TScreenMarker& object, std::string type, std::optional<int> tag,
                  std::string action = {}, std::optional<double> value = {}, int step = 0,
                  bool confirm = false) {
    const MarkerRect& b = object.Bounds;
    return {{std::move(type), b.Left, b.Top, b.Right - b.Left, b.Bottom - b.Top, tag,
             std::move(action), value, std::nullopt, confirm},
            step};
}

Row Expect(TScreenMarker object, std::string type, std::optional<int> tag, std::string action = {},
           std::optional<double> value = {}, int step = 0, bool confirm = false) {
    ActingObject info = Info(object, std::move(type), tag, std::move(action), value, step, confirm);
    return {std::move(object), std::move(info)};
}

TEST(ActingObjects, BrowsersLearnWhatEachObjectShowsAndDoesFromBackToFront) {
    constexpr size_t kTags = 3; // tag numbers 1 to 3
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Row> rows = {
        // index 0, the topmost: listed last
        Expect(Bound(kNumericDisplay, 0), "Numeric Display", 1),
        Expect(Bound(kBinaryDisplay, 2, -1, 0, true), "Binary Display", 3),
        Expect(Bound(kMultiStateDisplay, 3), "Multi-state Display", std::nullopt),
        Expect(Bound(kNumericInput, 1, -1, 0, true), "Numeric Input", 2, "input", {}, 0, true),
        Expect(Bound(kNumericInput, -1, -1, 0, true), "Numeric Input", std::nullopt, {}, {}, 0,
               true),
        // written as the station writes it: 15 significant digits
        Expect(Bound(kPresetValueButton, 2, -1, 1.0 / 3), "Preset Value Button", 3, "preset",
               0.333333333333333),
        Expect(Bound(kPresetValueButton, 0, -1, nan), "Preset Value Button", 1),
        Expect(Bound(kFunctionButton, 0, 0), "Function Button", std::nullopt, "goto", {}, -1),
        Expect(Bound(kFunctionButton, 0, 1), "Function Button", std::nullopt, "goto", {}, 1),
        {Bound(kFunctionButton, 0, 2), std::nullopt}, // exit
        {Bound(kFunctionButton, 0, 3), std::nullopt}, // history folder
        {Bound(kStaticText, 0), std::nullopt},
        {Bound(kCurrentTime, 0), std::nullopt},
        {Bound(kGraphicalSymbol, 0), std::nullopt},
        {Bound(kReservedWriteType, 0), std::nullopt},
    };
    ObjectList objects;
    std::vector<ActingObject> expected;
    for (const Row& row : rows) {
        objects.push_back(row.object);
        if (row.expected)
            expected.insert(expected.begin(), *row.expected);
    }
    EXPECT_EQ(ActingObjects(objects, kTags), expected);
}

TEST(ActingObjects, ObjectsStandWhereTheyWereLastDrawn) {
    TScreenMarker display = PlacedObject(kNumericDisplay, {10, 10, 200, 40});
    display.Bounds = {12, 14, 60, 30}; // the value text only
    const auto acting = ActingObjects({display}, 1);
    ASSERT_EQ(acting.size(), 1u);
    const ScreenObjectInfo& info = acting[0].info;
    EXPECT_EQ(std::tuple(info.x, info.y, info.width, info.height), std::tuple(12, 14, 48, 16));
}

TEST(ActingObjects, ButtonsGoToTheScreenTheStationShowsWrappingAroundTheList) {
    struct Case {
        size_t position;
        size_t count;
        int step;
        std::optional<int> screen;
    };
    const Case cases[] = {
        {0, 3, -1, 2}, {1, 3, -1, 0}, {2, 3, 1, 0},  {1, 3, 1, 2},
        {0, 2, -1, 1}, {0, 2, 1, 1},  {0, 1, 1, {}}, {0, 1, -1, {}},
    };
    for (const Case& c : cases) {
        ActingObject button;
        button.info.action = "goto";
        button.screenStep = c.step;
        ActingObject display;
        display.info.tag = 1;
        const std::vector<ActingObject> objects{button, display};
        const auto infos = ObjectsOfScreen(objects, c.position, c.count);
        ASSERT_EQ(infos.size(), 2u);
        EXPECT_EQ(infos[0].screen, c.screen)
            << "from " << c.position << " of " << c.count << " by " << c.step;
        EXPECT_EQ(infos[1].screen, std::nullopt) << "a display goes nowhere";
    }
}

} // namespace
