// Screens added and deleted through the screens list while the station runs: the tabs, the
// tree, the page shown, the navigator and config.cfg follow, and new screens work as those
// loaded at start.
#include "MessageBox.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "ScreenList.h"
#include "StationSupport.h"
#include "TFormChannelSetup.h"
#include "TFormEditScreen.h"
#include "TFormEditScreens.h"
#include "TFormNavigator.h"
#include "TFormScreen.h"
#include "WidgetTestSupport.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

using namespace halvane;
using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;

namespace {

QStringList ScreenNodes(const TFormMain& form) {
    QStringList nodes;
    const QTreeWidgetItem* screens = form.TreeViewMain()->topLevelItem(1);
    for (int i = 0; i < screens->childCount(); ++i)
        nodes << screens->child(i)->text(0);
    return nodes;
}

// Opens the screens list from the menu, lets `work` use it and closes it.
void WithScreensList(TFormMain& form, const std::function<void(TFormEditScreens&)>& work) {
    ModalAnswers answers;
    answers.Then<TFormEditScreens>([&](TFormEditScreens& dialog) {
        work(dialog);
        Click(dialog, "ButtonClose");
    });
    Trigger(form, "EditScreens1");
}

void AddScreen(TFormEditScreens& dialog, const QString& title) {
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    MessageBox::SetNextInput(title);
    Click(dialog, "ButtonAddScreen");
}

void DeleteScreen(TFormEditScreens& dialog, int row) {
    Child<QTableWidget>(dialog, "StringGridScreens")->selectRow(row);
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(dialog, "ButtonDeleteScreen");
}

std::vector<int> StoredList(const TempDir& root) {
    return ReadScreenList(ProfileStore(root / "cfg/config.cfg"));
}

std::vector<int> Numbers(const TFormMain& form) {
    std::vector<int> numbers;
    for (size_t i = 0; i < form.Screens()->Size(); ++i)
        numbers.push_back(form.Screens()->At(i)->ScreenFileNumber());
    return numbers;
}

std::vector<ScreenSpec> Screens(int count) {
    std::vector<ScreenSpec> screens;
    for (int i = 0; i < count; ++i)
        screens.push_back({20 + i, "S" + std::to_string(i), 200, 100});
    return screens;
}

} // namespace

TEST(TFormMainScreens, TheSettingsMenuAndTheScreensNodeOpenTheScreensList) {
    TempDir root;
    WriteStation(root, "", Screens(1));
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    const QList<QAction*> settings = form->menuBar()->actions().at(2)->menu()->actions();
    ASSERT_GE(settings.size(), 3);
    EXPECT_EQ(settings[0]->objectName(), "Connections1");
    EXPECT_EQ(settings[1]->objectName(), "EditScreens1");
    EXPECT_EQ(settings[1]->text(), "&Screens...");
    EXPECT_EQ(settings[2]->objectName(), "Points1");

    WithScreensList(*form, [](TFormEditScreens& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Screens");
        EXPECT_TRUE(dialog.isModal());
    });
    ModalAnswers answers;
    answers.Then<TFormEditScreens>([](TFormEditScreens&) {});
    QTreeWidgetItem* screensNode = form->TreeViewMain()->topLevelItem(1);
    form->TreeViewMain()->setCurrentItem(screensNode);
    emit form->TreeViewMain()->itemDoubleClicked(screensNode, 0);
}

// A screen added while the tag list is shown: the tag list stays the page shown and the
// last tab; the new screen is docked in edit mode with the grid of the others, reports its
// moves to the dock area and opens the station's properties dialog.
TEST(TFormMainScreens, AddedScreensJoinTabsTreeAndConfigAndWorkAsTheOthers) {
    TempDir root;
    WriteStation(root, "[General]\nShow.Grid=1\nShow.SnapToGrid=0\n",
                 {{11, "One", 300, 200}, {12, "Two", 320, 240}});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    Trigger(*form, "Points1");
    WithScreensList(*form, [](TFormEditScreens& dialog) { AddScreen(dialog, "Boiler"); });

    EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two", "Boiler", "<Tags>"}));
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 3);
    EXPECT_EQ(Pages(*form), "000|1");
    EXPECT_EQ(ScreenNodes(*form), QStringList({"One", "Two", "Boiler"}));
    EXPECT_EQ(StoredList(root), Numbers(*form));
    TFormScreen* boiler = form->Screens()->At(2);
    EXPECT_EQ(ProfileStore(ResolveDataPath(ScreenFileName(boiler->ScreenFileNumber())))
                  .ReadString("General", "Title", ""),
              "Boiler");
    EXPECT_TRUE(boiler->EditMode());
    EXPECT_EQ(boiler->parentWidget(), form->ScrollBoxDock()->widget());
    EXPECT_TRUE(boiler->ShowGrid());
    EXPECT_FALSE(boiler->SnapToGrid());

    form->TabSetScreens()->setCurrentIndex(2);
    EXPECT_EQ(Pages(*form), "001|0");
    EXPECT_EQ(form->ScrollBoxDock()->widget()->minimumSize(), boiler->size());

    {
        ModalAnswers answers;
        answers.Then<TFormEditScreen>([](TFormEditScreen& dialog) {
            SetText(dialog, "EditTitle", "Boiler room");
            Click(dialog, "ButtonSave");
        });
        boiler->PopupMenu()->findChild<QAction*>("ScreenProperties")->trigger();
    }
    EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two", "Boiler room", "<Tags>"}));
    EXPECT_EQ(ScreenNodes(*form), QStringList({"One", "Two", "Boiler room"}));

    // Made in run-time mode, a screen floats as the others do.
    form->Store()->WriteString("General", "FloatingScreens", "1");
    Trigger(*form, "PutscreensinNormalmode1");
    WithScreensList(*form, [](TFormEditScreens& dialog) { AddScreen(dialog, "Pumps"); });
    TFormScreen* pumps = form->Screens()->At(3);
    EXPECT_FALSE(pumps->EditMode());
    EXPECT_TRUE(pumps->isWindow());
    EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two", "Boiler room", "Pumps"}));
}

// Deleting the screen shown shows the one that took its place, or the one before it; a
// page after it moves up with it.
TEST(TFormMainScreens, DeletedScreensLeaveTabsTreePagesAndConfigInStep) {
    TempDir root;
    WriteStation(root, "", Screens(4));
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    form->TabSetScreens()->setCurrentIndex(1);
    WithScreensList(*form, [](TFormEditScreens& dialog) { DeleteScreen(dialog, 1); });
    EXPECT_EQ(TabCaptions(*form), QStringList({"S0", "S2", "S3", "<Tags>"}));
    EXPECT_EQ(ScreenNodes(*form), QStringList({"S0", "S2", "S3"}));
    EXPECT_EQ(Pages(*form), "010|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);
    EXPECT_EQ(StoredList(root), (std::vector<int>{20, 22, 23}));

    form->TabSetScreens()->setCurrentIndex(2);
    WithScreensList(*form, [](TFormEditScreens& dialog) { DeleteScreen(dialog, 2); });
    EXPECT_EQ(Pages(*form), "01|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);

    Trigger(*form, "Points1");
    WithScreensList(*form, [](TFormEditScreens& dialog) { DeleteScreen(dialog, 0); });
    EXPECT_EQ(TabCaptions(*form), QStringList({"S2", "<Tags>"}));
    EXPECT_EQ(Pages(*form), "0|1");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);
    EXPECT_EQ(StoredList(root), (std::vector<int>{22}));
}

// Two screens deleted at and below the navigator's index: both buttons still show a screen
// of the list.
TEST(TFormMainScreens, TheNavigatorStaysWithinTheListAfterDeletes) {
    for (const char* button : {"ButtonNext", "ButtonPrevious"}) {
        TempDir root;
        WriteStation(root, "", Screens(4));
        auto form = StartStation(root);
        ASSERT_TRUE(form);
        TFormNavigator* navigator = form->Navigator();
        for (int i = 0; i < 3; ++i)
            form->NextScreen();
        ASSERT_EQ(navigator->Index(), 3);
        WithScreensList(*form, [](TFormEditScreens& dialog) {
            DeleteScreen(dialog, 3);
            DeleteScreen(dialog, 2);
        });
        ASSERT_EQ(form->Screens()->Size(), 2u);
        for (size_t i = 0; i < 2; ++i)
            form->Screens()->At(i)->hide();
        Click(*navigator, button);
        const bool next = std::string(button) == "ButtonNext";
        EXPECT_EQ(navigator->Index(), next ? 0 : 1) << button;
        EXPECT_EQ(Pages(*form), next ? "10|0" : "01|0") << button;
        EXPECT_EQ(form->TabSetScreens()->currentIndex(), navigator->Index()) << button;
    }
}
