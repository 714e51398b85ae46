// The main window's pages, modes, tree, menu toggles and the screens' requests, on a
// temporary data root without communication.
#include "MessageBox.h"
#include "ObjectPalette.h"
#include "ProfileStore.h"
#include "ScreenList.h"
#include "StationSupport.h"
#include "TFormChannelSetup.h"
#include "TFormCommSpy.h"
#include "TFormScreen.h"
#include "TFormTrends.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

using namespace halvane;

namespace {

// Takes the URLs that the program hands to the desktop instead of opening them.
class UrlRecorder final : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        QDesktopServices::setUrlHandler("file", this, "Open");
        QDesktopServices::setUrlHandler("https", this, "Open");
    }
    ~UrlRecorder() override {
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("https");
    }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

const std::vector<ScreenSpec> kTwoScreens = {{11, "One", 300, 200}, {12, "Two", 320, 240}};

void DoubleClickNode(TFormMain& form, QTreeWidgetItem* node) {
    form.TreeViewMain()->setCurrentItem(node);
    emit form.TreeViewMain()->itemDoubleClicked(node, 0);
}

std::string StoredValue(const TempDir& root, const char* key) {
    const ProfileStore store(root / "cfg/config.cfg");
    return store.ReadString("General", key, "absent");
}

} // namespace

TEST(TFormMainWindow, PagesSwitchBetweenScreensAndTheTagList) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    auto form = StartStation(root);
    ASSERT_TRUE(form);

    EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two", "<Tags>"}));
    EXPECT_EQ(Pages(*form), "10|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 0);

    struct Step {
        int page;
        std::string shown;
    };
    const Step steps[] = {
        {2, "00|1"},               // the tag list
        {1, "01|0"},  {3, "01|0"}, // beyond the tag list: nothing
        {-1, "01|0"}, {0, "10|0"},
    };
    for (const Step& step : steps) {
        form->ShowPage(step.page);
        EXPECT_EQ(Pages(*form), step.shown) << "page " << step.page;
    }

    form->TabSetScreens()->setCurrentIndex(2);
    EXPECT_EQ(Pages(*form), "00|1");
    form->TabSetScreens()->setCurrentIndex(1);
    EXPECT_EQ(Pages(*form), "01|0");

    // The tree: "Tags" shows the tag list and its tab, a screen node its screen and tab.
    QTreeWidget* tree = form->TreeViewMain();
    DoubleClickNode(*form, tree->topLevelItem(2));
    EXPECT_EQ(Pages(*form), "00|1");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 2);
    DoubleClickNode(*form, tree->topLevelItem(1)->child(0));
    EXPECT_EQ(Pages(*form), "10|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 0);
    EXPECT_EQ(tree->topLevelItem(1)->child(1)->text(0), "Two");

    // In run-time mode "&Tags" shows the tag list without selecting a tab: a click on the
    // tab still selected brings its screen back.
    Trigger(*form, "PutscreensinNormalmode1");
    form->ShowPage(0);
    Trigger(*form, "Points1");
    ASSERT_EQ(form->TabSetScreens()->currentIndex(), 0);
    ASSERT_EQ(Pages(*form), "00|1");
    QTest::mouseClick(form->TabSetScreens(), Qt::LeftButton, {},
                      form->TabSetScreens()->tabRect(0).center());
    EXPECT_EQ(Pages(*form), "10|0");
}

TEST(TFormMainWindow, WithoutScreensTheTagsAreTheOnlyPage) {
    TempDir root;
    WriteStation(root, "", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);

    // A new data root opens on the tag list with its "Add tag", not on an empty page.
    EXPECT_EQ(TabCaptions(*form), QStringList({"<Tags>"}));
    EXPECT_TRUE(form->TagListWindow()->isVisible());
    EXPECT_TRUE(form->TagListWindow()->findChild<QPushButton*>("ButtonAdd")->isVisible());
    form->ShowPage(1);
    Trigger(*form, "Points1");
    EXPECT_TRUE(form->TagListWindow()->isVisible());
    EXPECT_EQ(form->TagListWindow()->pos(), QPoint(0, 0));
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 0);
}

TEST(TFormMainWindow, EditAndRunTimeModesDockOrFloatTheScreens) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QWidget* panel = form->findChild<QWidget*>("PanelLeft");
    QWidget* dock = form->ScrollBoxDock()->widget();
    ASSERT_TRUE(form->EditMode());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(form->Screens()->At(0)->EditMode());

    struct Case {
        const char* floatingScreens;
        bool floats;
    };
    for (const Case c : {Case{"0", false}, Case{"1", true}}) {
        form->Store()->WriteString("General", "FloatingScreens", c.floatingScreens);
        Trigger(*form, "Points1");
        Trigger(*form, "PutscreensinNormalmode1");
        EXPECT_FALSE(form->EditMode());
        EXPECT_FALSE(panel->isVisible());
        EXPECT_FALSE(form->TagListWindow()->isVisible());
        EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two"}));
        for (size_t i = 0; i < 2; ++i) {
            TFormScreen* screen = form->Screens()->At(i);
            EXPECT_FALSE(screen->EditMode());
            EXPECT_EQ(screen->isWindow(), c.floats) << c.floatingScreens;
            EXPECT_EQ(screen->parentWidget() == dock, !c.floats) << c.floatingScreens;
        }
        form->ShowPage(1);
        EXPECT_EQ(Pages(*form), "01|0");

        Trigger(*form, "PutscreensinEditmode1");
        EXPECT_TRUE(form->EditMode());
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(TabCaptions(*form), QStringList({"One", "Two", "<Tags>"}));
        EXPECT_EQ(form->Screens()->At(1)->parentWidget(), dock);
        EXPECT_TRUE(form->Screens()->At(1)->EditMode());
    }
}

// The page shown and the selected tab agree through a switch to run-time mode and back.
TEST(TFormMainWindow, RunTimeModeFromTheTagListShowsTheFirstScreen) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    form->TabSetScreens()->setCurrentIndex(1);
    Trigger(*form, "Points1");
    ASSERT_EQ(Pages(*form), "00|1");
    Trigger(*form, "PutscreensinNormalmode1");
    EXPECT_EQ(Pages(*form), "10|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 0);
    form->ShowPage(1);
    form->TabSetScreens()->setCurrentIndex(1);
    Trigger(*form, "PutscreensinEditmode1");
    EXPECT_EQ(Pages(*form), "01|0");
    EXPECT_EQ(form->TabSetScreens()->currentIndex(), 1);
}

// The window opens with the first screen whole beside the object navigator, as far as the
// available area allows (800 x 800 offscreen).
TEST(TFormMainWindow, OpensLargeEnoughForTheFirstScreen) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QSize screen : {QSize(450, 650), QSize(1500, 1200)}) {
        TempDir root;
        WriteStation(root, "", {{3, "First", screen.width(), screen.height()}});
        auto form = StartStation(root);
        ASSERT_TRUE(form);
        QApplication::processEvents();
        EXPECT_TRUE(available.contains(form->frameGeometry())) << screen.width();
        const bool fits = screen.width() < 500;
        const QSize viewport = form->ScrollBoxDock()->maximumViewportSize();
        EXPECT_EQ(viewport.expandedTo(form->Screens()->At(0)->size()) == viewport, fits);
    }
}

// Docked screens larger than the dock area can be scrolled into view.
TEST(TFormMainWindow, DockAreaScrollsOverALargeScreen) {
    TempDir root;
    WriteStation(root, "", {{3, "Large", 1500, 1200}});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QApplication::processEvents();
    EXPECT_GT(form->ScrollBoxDock()->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(form->ScrollBoxDock()->horizontalScrollBar()->maximum(), 0);
    Trigger(*form, "Points1");
    QApplication::processEvents();
    EXPECT_EQ(form->ScrollBoxDock()->verticalScrollBar()->maximum(), 0);
}

TEST(TFormMainWindow, TagNodesCountFromOneWithAnIconByFunction) {
    TempDir root;
    WriteStation(root,
                 "[Channel.0]\nName=Level\nFunction=0\n[Channel.1]\nName=Flow\nFunction=3\n"
                 "[Channel.2]\nName=Valve\nFunction=4\n[Channel.3]\nName=Setpoint\nFunction=5\n",
                 {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QTreeWidgetItem* tags = form->TreeViewMain()->topLevelItem(2);
    ASSERT_EQ(tags->childCount(), 4);
    EXPECT_EQ(tags->child(0)->text(0), "1. Level");
    EXPECT_EQ(tags->child(3)->text(0), "4. Setpoint");
    EXPECT_TRUE(tags->isExpanded());

    const auto picture = [&](int row) { return tags->child(row)->icon(0).pixmap(16).toImage(); };
    EXPECT_EQ(picture(0), picture(1));
    EXPECT_EQ(picture(2), picture(3));
    EXPECT_NE(picture(1), picture(2));
}

TEST(TFormMainWindow, DemoModeToggleSetsCaptionTimerAndResetsTags) {
    TempDir root;
    WriteStation(root, "[Channel.0]\nName=Level\nPort=1\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QTimer* timerDemo = form->findChild<QTimer*>("TimerDemo");
    QAction* item = form->findChild<QAction*>("Demomode1");
    ASSERT_FALSE(item->isChecked());

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(form->windowTitle(), "Halvane [demo mode]");
    EXPECT_TRUE(timerDemo->isActive());
    EXPECT_EQ(StoredValue(root, "DemoMode"), "1");

    form->Tags().Update(0, [](TDataChannel& t) {
        t.RealValue = 12.5;
        t.RawValue = 25;
        t.ValueValid = true;
        t.Status = "OK";
    });
    item->trigger();
    EXPECT_EQ(form->windowTitle(), "Halvane");
    EXPECT_FALSE(timerDemo->isActive());
    EXPECT_EQ(StoredValue(root, "DemoMode"), "0");
    const TDataChannel tag = form->Tags().Snapshot(0);
    EXPECT_FALSE(tag.ValueValid);
    EXPECT_EQ(tag.Status, "Unknown");
    EXPECT_EQ(tag.RealValue, 0);
    EXPECT_EQ(tag.RawValue, 0);
}

TEST(TFormMainWindow, DemoModeStoredOnStartsWithIt) {
    TempDir root;
    WriteStation(root, "[General]\nDemoMode=1\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), "Halvane [demo mode]");
    EXPECT_TRUE(form->findChild<QAction*>("Demomode1")->isChecked());
    EXPECT_TRUE(form->findChild<QTimer*>("TimerDemo")->isActive());
}

TEST(TFormMainWindow, ViewTogglesAreWrittenAtOnceAndRestoredAtTheNextStart) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    {
        auto form = StartStation(root);
        ASSERT_TRUE(form);
        TFormScreen* screen = form->Screens()->At(1);
        EXPECT_FALSE(screen->ShowGrid());
        EXPECT_TRUE(screen->SnapToGrid());
        EXPECT_TRUE(form->TabSetScreens()->isVisible());

        Trigger(*form, "Showgrid1");
        EXPECT_EQ(StoredValue(root, "Show.Grid"), "1");
        EXPECT_TRUE(screen->ShowGrid());
        Trigger(*form, "SnaptoGrid1");
        EXPECT_EQ(StoredValue(root, "Show.SnapToGrid"), "0");
        EXPECT_FALSE(screen->SnapToGrid());
        Trigger(*form, "Showscreentabs1");
        EXPECT_EQ(StoredValue(root, "Show.ScreenTabs"), "0");
        EXPECT_FALSE(form->TabSetScreens()->isVisible());
        form->close();
    }
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->findChild<QAction*>("Showgrid1")->isChecked());
    EXPECT_FALSE(form->findChild<QAction*>("SnaptoGrid1")->isChecked());
    EXPECT_FALSE(form->findChild<QAction*>("Showscreentabs1")->isChecked());
    EXPECT_FALSE(form->TabSetScreens()->isVisible());
    EXPECT_TRUE(form->Screens()->At(0)->ShowGrid());
    EXPECT_FALSE(form->Screens()->At(0)->SnapToGrid());
}

TEST(TFormMainWindow, RuntimeSwitchFitsTheDockAreaToTheLargestScreen) {
    struct Case {
        std::vector<ScreenSpec> screens;
        QSize dock;
    };
    const Case cases[] = {
        {{{1, "Wide", 800, 600}, {2, "High", 500, 700}}, {800, 700}},
        {{{1, "Small", 300, 200}}, {640, 480}},
        {{}, {640, 480}},
    };
    for (const Case& c : cases) {
        TempDir root;
        WriteStation(root, "", c.screens);
        auto form = StartStation(root, true);
        ASSERT_TRUE(form);
        QApplication::processEvents();
        EXPECT_EQ(form->ScrollBoxDock()->size(), c.dock) << c.screens.size() << " screens";
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
        EXPECT_EQ(form->menuWidget(), nullptr);
        EXPECT_FALSE(form->statusBar()->isVisible());
        EXPECT_FALSE(form->EditMode());
        EXPECT_FALSE(form->findChild<QWidget*>("PanelLeft")->isVisible());
        EXPECT_FALSE(TabCaptions(*form).contains("<Tags>"));
        if (!c.screens.empty()) {
            EXPECT_TRUE(form->Screens()->At(0)->isVisible());
            EXPECT_EQ(form->Screens()->At(0)->parentWidget(), form->ScrollBoxDock()->widget());
        }
    }
}

TEST(TFormMainWindow, RuntimeSwitchWithoutTabsHoldsTheDockAreaAlone) {
    TempDir root;
    WriteStation(root, "[General]\nShow.ScreenTabs=0\n", {{1, "Wide", 800, 600}});
    auto form = StartStation(root, true);
    ASSERT_TRUE(form);
    QApplication::processEvents();
    EXPECT_EQ(form->ScrollBoxDock()->size(), QSize(800, 600));
    EXPECT_EQ(form->size(), QSize(800, 600));
}

TEST(TFormMainWindow, ExitProgramAsksFirst) {
    TempDir root;
    WriteStation(root, "", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);

    MessageBox::SetNextAnswer(QMessageBox::No);
    form->ExitProgram();
    EXPECT_EQ(MessageBox::LastCaption(), "Confirmation");
    EXPECT_EQ(MessageBox::LastText(), "Do you want to exit Halvane?.");
    EXPECT_TRUE(form->isVisible());

    MessageBox::SetNextAnswer(QMessageBox::Yes);
    form->ExitProgram();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->findChild<QTimer*>("TimerPoll1")->isActive());
}

// The "Exit" function button ends the message loop without the close sequence.
TEST(TFormMainWindow, ExitNowEndsTheLoopWithoutClosing) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QTimer::singleShot(0, form.get(), [&] { form->ExitNow(); });
    QTimer::singleShot(5000, form.get(), [] { QCoreApplication::exit(1); }); // a guard
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Screens()->At(0)->isVisible());
    EXPECT_TRUE(form->findChild<QTimer*>("TimerPoll1")->isActive());
}

TEST(TFormMainWindow, ScreensPresetTagsAndOpenFoldersAndHelp) {
    TempDir root;
    WriteStation(root, "[Channel.0]\nName=Setpoint\nFunction=5\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);

    form->PresetTagValue(0, 21.5);
    const TDataChannel tag = form->Tags().Snapshot(0);
    EXPECT_EQ(tag.RealValue, 21.5);
    EXPECT_EQ(tag.Status, "Pending write");
    EXPECT_NE(ReadText(root / "cfg/config.cfg").find("21.5"), std::string::npos);
    form->PresetTagValue(7, 1);     // outside the table: nothing
    form->PresetTagValue(0, 70000); // beyond the word register: refused with its range
    EXPECT_EQ(MessageBox::LastText(),
              "The value 70000 does not fit the register. The register takes 0 to 65535.");
    EXPECT_EQ(form->Tags().Snapshot(0), tag);

    const QUrl history = QUrl::fromLocalFile(QString::fromStdString((root / "history").string()));
    {
        UrlRecorder recorder;
        form->OpenHistoryFolder();
        Trigger(*form, "Historyfiles1");
        Trigger(*form, "HalvaneWebPage1");
        ASSERT_EQ(recorder.opened.size(), 3);
        EXPECT_EQ(recorder.opened.mid(0, 2), QList<QUrl>({history, history}));
        EXPECT_EQ(recorder.opened[2].fileName(), "README.md"); // the help that ships with it
        EXPECT_TRUE(QFileInfo(recorder.opened[2].toLocalFile()).isFile());
    }

    // Nothing on this desktop opens folders: the user learns where the files are.
    const TempDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.Path().string().c_str());
    Trigger(*form, "Historyfiles1");
    qputenv("PATH", path);
    EXPECT_EQ(MessageBox::LastText(), "No program to open " + history.toLocalFile() +
                                          " was found. Open it with a file manager.");
}

TEST(TFormMainWindow, OtherWindowsExistHiddenFromTheStart) {
    TempDir root;
    WriteStation(root, "", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    for (const char* name : {"FormSettings", "FormAbout", "FormNavigator", "FormCommSpy",
                             "FormProgress", "FormInput"}) {
        const QWidget* window = form->findChild<QWidget*>(name);
        ASSERT_NE(window, nullptr) << name;
        EXPECT_TRUE(window->isWindow()) << name;
        EXPECT_FALSE(window->isVisible()) << name;
    }
}

// The palette shows all its entries without scrolling; where the user drags the splitter
// above it is kept for the next start.
TEST(TFormMainWindow, PaletteShowsEveryEntryAndKeepsTheHeightDraggedTo) {
    TempDir root;
    WriteStation(root, "", kTwoScreens);
    int dragged = 0;
    {
        auto form = StartStation(root);
        ASSERT_TRUE(form);
        QApplication::processEvents();
        const auto* palette = form->findChild<QListWidget*>("ListView1");
        ASSERT_EQ(palette->count(), 10);
        EXPECT_EQ(palette->verticalScrollBar()->maximum(), 0);
        EXPECT_TRUE(
            palette->viewport()->rect().contains(palette->visualItemRect(palette->item(9))));

        auto* panel = form->findChild<QSplitter*>("PanelLeft");
        const int before = panel->sizes().value(1);
        QSplitterHandle* handle = panel->handle(1);
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip - QPoint(0, 40));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(0, 40));
        dragged = panel->sizes().value(1);
        EXPECT_EQ(dragged, before + 40);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return StoredValue(root, "PaletteHeight") == std::to_string(dragged); }));
        form->close();
    }
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    QApplication::processEvents();
    EXPECT_EQ(form->findChild<QSplitter*>("PanelLeft")->sizes().value(1), dragged);
}

// The network connection has one name in the navigator, the tag editor and the connections
// dialog.
TEST(TFormMainWindow, TheNetworkConnectionHasOneName) {
    TempDir root;
    WriteStation(root, "", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    const QString name =
        form->TreeViewMain()->topLevelItem(0)->child(3)->text(0).section(QLatin1Char(','), 0, 0);
    EXPECT_EQ(name, "Network 1");
    EXPECT_EQ(form->TagListWindow()->findChild<QComboBox*>("ComboBoxCommunication")->itemText(4),
              name);
    EXPECT_EQ(form->findChild<QGroupBox*>("GroupBoxNetwork")->title(), name);
}

TEST(ObjectPalette, OffersTheTenKindsAndDragsTheirTypeCodes) {
    ObjectPalette palette;
    const QStringList names = {"Numeric Display",    "Binary Display",   "Multi-state Display",
                               "Current Time",       "Current Date",     "Function Button",
                               "Static Text",        "Graphical symbol", "Numeric Input",
                               "Preset Value Button"};
    const QByteArray codes[] = {"0", "1", "2", "3", "4", "5", "6", "100", "50", "51"};
    ASSERT_EQ(palette.count(), names.size());
    EXPECT_EQ(palette.toolTip(), "Drag object and drop on the screen");
    for (int row = 0; row < palette.count(); ++row) {
        EXPECT_EQ(palette.item(row)->text(), names[row]);
        EXPECT_FALSE(palette.item(row)->icon().isNull());
        const std::unique_ptr<QMimeData> data(
            palette.model()->mimeData({palette.model()->index(row, 0)}));
        EXPECT_EQ(data->data(kObjectTypeMimeType), codes[row]) << row;
    }
    EXPECT_EQ(palette.model()->supportedDragActions(), Qt::CopyAction);
}

#include "TFormMainWindowTest.moc"

TEST(TFormMainWindow, TheTagListReachesTheScreensThroughTheMainWindow) {
    TempDir root;
    // Screen 7 shows tag 2 in a numeric display and has a static text whose Channel is 2.
    WriteStation(root, "[Channel.0]\nName=a\n[Channel.1]\nName=b\n[Channel.2]\nName=c\n",
                 {{7, "Main", 640, 480}});
    WriteText(root / "cfg/screen.7.cfg",
              "[General]\nTitle=Main\nWidth=640\nHeight=480\nNoOfMarkers=2\n"
              "[Marker.0]\nTL=0,0\nBR=100,20\nType=0\nChannel=2\n"
              "[Marker.1]\nTL=0,40\nBR=100,60\nType=6\nChannel=2\nAttrStr1=note\n");
    const auto form = StartStation(root);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->ScreenUsingTag(2), std::optional<std::string>("Main"));
    EXPECT_EQ(form->ScreenUsingTag(1), std::nullopt);

    form->RenumberScreenTags(1, 3); // tag 1 of 3 deleted: tag 2 becomes tag 1
    const halvane::ProfileStore file(root / "cfg/screen.7.cfg");
    EXPECT_EQ(file.ReadInteger("Marker.0", "Channel", -1), 1);
    EXPECT_EQ(file.ReadInteger("Marker.1", "Channel", -1), 2); // a static text binds no tag

    form->ShowPage(1);
    EXPECT_TRUE(form->TagListWindow()->isVisible());
    form->ShowCommunicationMonitor();
    EXPECT_TRUE(form->CommSpy()->isVisible());
}

TEST(TFormMainWindow, TrendsOpenFromTheViewMenuAndTheTagListsPopup) {
    TempDir root;
    WriteStation(root, "[Channel.0]\nName=Level\n[Channel.1]\nName=Flow\n", {});
    auto form = StartStation(root);
    ASSERT_TRUE(form);
    form->findChild<QAction*>("Trends1")->trigger();
    auto* list = form->Trends()->findChild<QListWidget*>("ListTags");
    EXPECT_TRUE(form->Trends()->isVisible());
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    form->Trends()->hide();

    form->TagListWindow()->findChild<QTableView*>("StringGridChannels")->selectRow(1);
    form->TagListWindow()->findChild<QAction*>("ShowTrend1")->trigger();
    EXPECT_TRUE(form->Trends()->isVisible());
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
}
