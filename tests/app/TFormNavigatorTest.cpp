// The navigator's previous and next screen, through the main window as the screens' function
// buttons reach it, and the window's stored position.
#include "TFormNavigator.h"
#include "ProfileStore.h"
#include "ScreenList.h"
#include "StationSupport.h"
#include "TFormScreen.h"

#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace halvane;

namespace {

std::vector<ScreenSpec> Screens(int count) {
    std::vector<ScreenSpec> screens;
    for (int i = 0; i < count; ++i)
        screens.push_back({20 + i, "S" + std::to_string(i), 200, 100});
    return screens;
}

// The screens shown, as "100".
std::string Shown(const TFormMain& form) {
    std::string shown;
    for (size_t i = 0; i < form.Screens()->Size(); ++i)
        shown += form.Screens()->At(i)->isVisible() ? '1' : '0';
    return shown;
}

void HideAll(const TFormMain& form) {
    for (size_t i = 0; i < form.Screens()->Size(); ++i)
        form.Screens()->At(i)->hide();
}

} // namespace

TEST(TFormNavigator, OneScreenGoesNowhere) {
    TempDir root;
    WriteStation(root, "", Screens(1));
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    HideAll(*form);
    form->NextScreen();
    form->PreviousScreen();
    EXPECT_EQ(form->Navigator()->Index(), 0);
    EXPECT_EQ(Shown(*form), "0");
}

// Each step starts with every screen hidden: the step shows one and hides none.
TEST(TFormNavigator, StepsWrapAtBothEnds) {
    TempDir root;
    WriteStation(root, "", Screens(3));
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    TFormNavigator* navigator = form->Navigator();

    struct Step {
        bool next;
        int index;
        std::string shown;
    };
    const Step steps[] = {
        {false, 2, "001"}, // "<<" from the first shows the third
        {true, 0, "100"},  // ">>" from the third shows the first
        {true, 1, "010"},
        {false, 0, "100"},
    };
    for (const Step& step : steps) {
        HideAll(*form);
        step.next ? form->NextScreen() : form->PreviousScreen();
        EXPECT_EQ(navigator->Index(), step.index);
        EXPECT_EQ(Shown(*form), step.shown);
    }

    // The window's buttons do the same.
    HideAll(*form);
    QTest::mouseClick(navigator->findChild<QPushButton*>("ButtonNext"), Qt::LeftButton);
    EXPECT_EQ(Shown(*form), "010");

    // An index left beyond the end by a removed screen: ">>" goes to the first.
    form->NextScreen();
    ASSERT_EQ(navigator->Index(), 2);
    form->Screens()->DeleteScreen(2);
    HideAll(*form);
    form->NextScreen();
    EXPECT_EQ(navigator->Index(), 0);
    EXPECT_EQ(Shown(*form), "10");
}

// Two screens removed at and below the index: both buttons show a screen of the list.
TEST(TFormNavigator, BothStepsStayWithinAListThatShrank) {
    for (const bool next : {true, false}) {
        TempDir root;
        WriteStation(root, "", Screens(4));
        auto form = StartStation(root);
        ASSERT_TRUE(form);
        for (int i = 0; i < 3; ++i)
            form->NextScreen();
        ASSERT_EQ(form->Navigator()->Index(), 3);
        form->Screens()->DeleteScreen(3);
        form->Screens()->DeleteScreen(2);
        HideAll(*form);
        next ? form->NextScreen() : form->PreviousScreen();
        EXPECT_EQ(form->Navigator()->Index(), next ? 0 : 1);
        EXPECT_EQ(Shown(*form), next ? "10" : "01");
    }
}

// The selected tab names the screen that the navigator brought up.
TEST(TFormNavigator, TheTabFollowsTheScreenShown) {
    TempDir root;
    WriteStation(root, "", Screens(3));
    auto form = StartStation(root, true);
    ASSERT_TRUE(form);
    form->NextScreen();
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);
    form->PreviousScreen();
    form->PreviousScreen();
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 2);
    EXPECT_TRUE(form->Screens()->At(2)->isVisible());
}

TEST(TFormNavigator, WindowLooksAndKeepsItsPlace) {
    TempDir root;
    WriteStation(root, "[Navigator]\nLeft=50\nTop=60\n", Screens(2));
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    TFormNavigator* navigator = form->Navigator();
    EXPECT_EQ(navigator->windowTitle(), "Navigator");
    EXPECT_EQ(navigator->size(), QSize(128, 65));
    const auto* previous = navigator->findChild<QPushButton*>("ButtonPrevious");
    EXPECT_EQ(previous->text(), "<<");
    EXPECT_EQ(previous->toolTip(), "Previous screen");
    EXPECT_EQ(navigator->findChild<QPushButton*>("ButtonNext")->toolTip(), "Next screen");
    EXPECT_EQ(previous->font().family(), "Arial Black");
    EXPECT_EQ(previous->font().pointSize(), 20);
    EXPECT_TRUE(previous->font().bold());

    navigator->show();
    EXPECT_EQ(navigator->pos(), QPoint(50, 60));
    navigator->move(70, 80);
    navigator->hide();
    const ProfileStore config(root / "cfg/config.cfg");
    EXPECT_EQ(config.ReadInteger("Navigator", "Left", 0), 70);
    EXPECT_EQ(config.ReadInteger("Navigator", "Top", 0), 80);
}
