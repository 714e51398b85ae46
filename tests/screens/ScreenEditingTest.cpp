#include "ScreenEditing.h"
#include "ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace halvane;

namespace {

MarkerRect RectOf(const TScreenMarker& object) {
    return {object.Left, object.Top, object.Right, object.Bottom};
}

const QSize kClient(640, 480);

TEST(ScreenEditing, DragKeepsTheGrabPointAndStopsAtTheClientEdge) {
    ObjectList objects{PlacedObject(kStaticText, {100, 100, 200, 130})};
    ScreenMarks marks;
    marks.popupTarget = 0;
    marks.hovered = 0;
    ScreenEditing editing;
    EXPECT_EQ(editing.Grab(objects, marks, {110, 105}), (ScreenEditing::Step{Qt::SizeAllCursor}));
    EXPECT_EQ(marks.dragged, 0);
    EXPECT_EQ(marks.popupTarget, -1);
    EXPECT_EQ(marks.hovered, -1);

    EXPECT_TRUE(editing.Move(objects, marks, {200, 300}, kClient).repaint);
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{190, 295, 290, 325}));
    EXPECT_FALSE(editing.Move(objects, marks, {700, 300}, kClient).repaint); // outside: stays
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{190, 295, 290, 325}));
    EXPECT_EQ(editing.Drop(objects, marks, {640, 10}, kClient),
              (ScreenEditing::Step{Qt::ArrowCursor, true}));
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{190, 295, 290, 325}));
    EXPECT_EQ(marks.dragged, -1);
    EXPECT_EQ(editing.Drop(objects, marks, {0, 0}, kClient), ScreenEditing::Step{});
}

TEST(ScreenEditing, APictureIsResizedByItsHandleBeyondTenPixels) {
    ObjectList objects{PlacedObject(kGraphicalSymbol, {50, 50, 80, 80})};
    ScreenMarks marks;
    ScreenEditing editing;
    EXPECT_EQ(editing.Grab(objects, marks, {84, 76}).cursor, Qt::SizeAllCursor);
    ASSERT_EQ(marks.resized, 0);
    EXPECT_EQ(editing.Move(objects, marks, {60, 60}, kClient),
              (ScreenEditing::Step{Qt::SizeFDiagCursor, false}));
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{50, 50, 80, 80}));
    editing.Move(objects, marks, {61, 61}, kClient);
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{50, 50, 61, 61}));
    EXPECT_EQ(editing.Drop(objects, marks, {61, 61}, kClient),
              (ScreenEditing::Step{Qt::ArrowCursor, false}));
    EXPECT_EQ(marks.resized, -1);
}

// Each object is looked at whole, handle first, before the next one down.
TEST(ScreenEditing, PressesAndHoversFindTheTopmostObject) {
    const ObjectList objects{PlacedObject(kStaticText, {70, 70, 120, 78}),
                             PlacedObject(kGraphicalSymbol, {50, 50, 80, 80}),
                             PlacedObject(kStaticText, {200, 200, 260, 220})};
    const struct {
        QPoint pointer;
        int dragged, resized, hovered;
        std::optional<Qt::CursorShape> hoverCursor;
    } cases[] = {
        {{76, 76}, 0, -1, 0, Qt::PointingHandCursor}, // the text covers the handle
        {{84, 83}, -1, 1, 1, Qt::SizeFDiagCursor},    // the handle reaches past Bounds
        {{55, 55}, 1, -1, 1, Qt::PointingHandCursor}, // inside the picture
        {{85, 85}, -1, -1, -1, Qt::ArrowCursor},      // right and bottom are outside
        {{259, 219}, 2, -1, 2, Qt::PointingHandCursor},
        {{260, 219}, -1, -1, -1, Qt::ArrowCursor}, // a text object has no handle
    };
    for (const auto& c : cases) {
        ObjectList copy = objects;
        ScreenMarks marks;
        ScreenEditing editing;
        editing.Grab(copy, marks, c.pointer);
        EXPECT_EQ(marks.dragged, c.dragged) << c.pointer.x() << "," << c.pointer.y();
        EXPECT_EQ(marks.resized, c.resized) << c.pointer.x() << "," << c.pointer.y();
        ScreenMarks hover;
        hover.hovered = 2;
        EXPECT_EQ(editing.Move(copy, hover, c.pointer, kClient).cursor, c.hoverCursor);
        EXPECT_EQ(hover.hovered, c.hovered) << c.pointer.x() << "," << c.pointer.y();
    }
    ScreenMarks none;
    ObjectList empty;
    EXPECT_EQ(ScreenEditing().Move(empty, none, {1, 1}, kClient), ScreenEditing::Step{});
}

// A rectangle that a hand-edited file put at the ends of the range moves without overflow.
TEST(ScreenEditing, FarCoordinatesSaturate) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    ObjectList objects{PlacedObject(kGraphicalSymbol, {kMin, kMin, kMax, kMax})};
    objects[0].Bounds = {0, 0, 640, 480};
    ScreenMarks marks;
    ScreenEditing editing;
    editing.Grab(objects, marks, {10, 10});
    editing.Move(objects, marks, {20, 20}, kClient);
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{kMin + 10, kMin + 10, kMax, kMax}));
}

} // namespace
