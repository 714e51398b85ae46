#include "ObjectArrangement.h"

#include "ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halvane;

namespace {

// Three objects measured by what they cover: the third is a text whose stored corners are
// not its drawn area, and it moves by as much as its drawn area does.
ObjectList Fixture() {
    ObjectList objects = {PlacedObject(kGraphicalSymbol, {10, 10, 40, 30}),
                          PlacedObject(kGraphicalSymbol, {60, 50, 100, 60}),
                          PlacedObject(kStaticText, {30, 80, 30, 80})};
    objects[2].Bounds = {30, 80, 50, 120};
    return objects;
}

TEST(ObjectArrangement, AlignAndDistributeByTheDrawnAreas) {
    struct Case {
        const char* name;
        void (*arrange)(ObjectList&);
        std::vector<MarkerRect> bounds;
    } const cases[] = {
        {"left",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::Left);
         },
         {{10, 10, 40, 30}, {10, 50, 50, 60}, {10, 80, 30, 120}}},
        {"right",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::Right);
         },
         {{70, 10, 100, 30}, {60, 50, 100, 60}, {80, 80, 100, 120}}},
        {"top",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::Top);
         },
         {{10, 10, 40, 30}, {60, 10, 100, 20}, {30, 10, 50, 50}}},
        {"bottom",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::Bottom);
         },
         {{10, 100, 40, 120}, {60, 110, 100, 120}, {30, 80, 50, 120}}},
        {"x centres",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::HorizontalCentres);
         },
         {{40, 10, 70, 30}, {35, 50, 75, 60}, {45, 80, 65, 120}}},
        {"y centres",
         [](ObjectList& o) {
             Align(o, {0, 1, 2}, Alignment::VerticalCentres);
         },
         {{10, 55, 40, 75}, {60, 60, 100, 70}, {30, 45, 50, 85}}},
        {"only selected",
         [](ObjectList& o) {
             Align(o, {1, 2}, Alignment::Left);
         },
         {{10, 10, 40, 30}, {30, 50, 70, 60}, {30, 80, 50, 120}}},
        {"one is nothing",
         [](ObjectList& o) { Align(o, {1}, Alignment::Left); },
         {{10, 10, 40, 30}, {60, 50, 100, 60}, {30, 80, 50, 120}}},
        // Sorted by their left edges: the middle one closes the gaps, the outer two stay.
        {"horizontally",
         [](ObjectList& o) {
             Distribute(o, {0, 1, 2}, Distribution::Horizontally);
         },
         {{10, 10, 40, 30}, {60, 50, 100, 60}, {40, 80, 60, 120}}},
        // Equal gaps, not equal steps between the tops.
        {"vertically",
         [](ObjectList& o) {
             Distribute(o, {0, 1, 2}, Distribution::Vertically);
         },
         {{10, 10, 40, 30}, {60, 50, 100, 60}, {30, 80, 50, 120}}},
        {"two are nothing",
         [](ObjectList& o) {
             Distribute(o, {0, 2}, Distribution::Horizontally);
         },
         {{10, 10, 40, 30}, {60, 50, 100, 60}, {30, 80, 50, 120}}},
    };
    for (const Case& c : cases) {
        const ObjectList before = Fixture();
        ObjectList objects = before;
        c.arrange(objects);
        for (size_t i = 0; i < objects.size(); ++i) {
            const MarkerRect& b = objects[i].Bounds;
            EXPECT_EQ(b, c.bounds[i]) << c.name << " " << i;
            const int dx = b.Left - before[i].Bounds.Left;
            const int dy = b.Top - before[i].Bounds.Top;
            const MarkerRect r = before[i].Rect();
            EXPECT_EQ(objects[i].Rect(),
                      (MarkerRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}))
                << c.name << " " << i;
        }
    }
}

// Four objects with 31 free pixels between the outer two: gaps of 11, 10 and 10.
TEST(ObjectArrangement, DistributeSharesTheLeftOverPixels) {
    ObjectList objects = {PlacedObject(kGraphicalSymbol, {0, 0, 10, 10}),
                          PlacedObject(kGraphicalSymbol, {12, 0, 22, 10}),
                          PlacedObject(kGraphicalSymbol, {61, 0, 71, 10}),
                          PlacedObject(kGraphicalSymbol, {20, 0, 30, 10})};
    Distribute(objects, {0, 1, 2, 3}, Distribution::Horizontally);
    EXPECT_EQ(objects[1].Bounds, (MarkerRect{21, 0, 31, 10}));
    EXPECT_EQ(objects[3].Bounds, (MarkerRect{41, 0, 51, 10}));
    EXPECT_EQ(objects[2].Bounds, (MarkerRect{61, 0, 71, 10}));
}

} // namespace
