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

// The next load moves an object with a corner outside the screen to the origin: a drag
// stops at the edges, and a resize does too, wherever the pointer goes.
TEST(ScreenEditing, DragAndResizeKeepTheObjectWithinTheScreen) {
    const struct {
        MarkerRect placed;
        QPoint grab, to;
        MarkerRect moved;
    } cases[] = {
        {{100, 100, 200, 130}, {110, 105}, {630, 300}, {539, 295, 639, 325}}, // right edge
        {{100, 100, 200, 130}, {110, 105}, {630, 475}, {539, 449, 639, 479}}, // bottom right
        {{100, 100, 200, 130}, {110, 105}, {5, 2}, {0, 0, 100, 30}},          // top left
        {{0, 0, 700, 30}, {10, 10}, {60, 50}, {0, 40, 700, 70}},        // wider than the screen
        {{50, 50, 80, 80}, {80, 80}, {700, 520}, {50, 50, 639, 479}},   // handle beyond the edge
        {{50, 50, 80, 80}, {80, 80}, {639, 100}, {50, 50, 639, 100}},   // handle at the edge
        {{630, 50, 635, 60}, {635, 60}, {700, 90}, {630, 50, 635, 60}}, // no room to grow
    };
    for (const auto& c : cases) {
        ObjectList objects{PlacedObject(kGraphicalSymbol, c.placed)};
        ScreenMarks marks;
        ScreenEditing editing;
        editing.Grab(objects, marks, c.grab);
        editing.Move(objects, marks, c.to, kClient);
        editing.Drop(objects, marks, c.to, kClient);
        EXPECT_EQ(RectOf(objects[0]), c.moved) << c.to.x() << "," << c.to.y();
    }
}

// The border stops where the objects inside the screen would leave it; one that is outside
// already holds nothing back.
TEST(ScreenEditing, TheSmallestClientSizeKeepsTheObjectsInside) {
    const struct {
        ObjectList objects;
        QSize smallest;
    } cases[] = {
        {{}, {0, 0}},
        {{PlacedObject(kStaticText, {100, 100, 200, 130})}, {201, 131}},
        {{PlacedObject(kStaticText, {10, 10, 639, 40}), PlacedObject(kStaticText, {5, 5, 20, 479})},
         {640, 480}},
        {{PlacedObject(kGraphicalSymbol, {0, 0, 700, 30}),
          PlacedObject(kStaticText, {30, 40, 50, 60})},
         {51, 61}},
        {{PlacedObject(kStaticText, {30, 40, 50, 60}), PlacedObject(kStaticText, {0, 0, 50, 480})},
         {51, 61}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SmallestClientSize(c.objects, kClient), c.smallest) << c.objects.size();
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
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{0, 0, kMax, kMax}));
}

} // namespace
