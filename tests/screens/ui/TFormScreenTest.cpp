#include "ScreenTestSupport.h"

#include "ScreenFile.h"
#include "ScreenList.h"
#include "TFormScreen.h"
#include "TagTable.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using namespace halvane;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

void WriteBitmap(const std::filesystem::path& file, QSize size, const QColor& colour) {
    std::filesystem::create_directories(file.parent_path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP"));
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class TFormScreenTest : public ScreenDataRootTest {
protected:
    TFormScreenTest() {
        m_tags.Assign({MakeTag("Pressure", 2.345, true, "bar")});
        m_dock.resize(900, 700);
    }

    // A screen opened on "cfg\screen.<number>.cfg" holding `content`.
    std::unique_ptr<TFormScreen> Open(int number, const std::string& content) {
        WriteText(ScreenFile(number), content);
        auto screen = std::make_unique<TFormScreen>(m_config, m_tags, &m_dock);
        screen->OpenScreenFile(number);
        return screen;
    }

    // Opened and prepared as at start-up.
    std::unique_ptr<TFormScreen> Prepared(int number, const std::string& content) {
        auto screen = Open(number, content);
        screen->LoadGeneralSettings();
        return screen;
    }

    std::filesystem::path ScreenFile(int number) const {
        return ResolveDataPath(ScreenFileName(number));
    }

    TagTable m_tags;
    QScrollArea m_dock;
};

TEST_F(TFormScreenTest, CreatedScreenFileHoldsTheCommentThenTheGeneralKeys) {
    ScreenList list(m_config, m_tags, &m_dock, nullptr);
    list.SeedScreenNumbers(7);
    TFormScreen* screen = list.CreateScreen("Boiler");
    const int number = screen->ScreenFileNumber();
    EXPECT_GE(number, 0);
    EXPECT_LT(number, 32000);

    const std::string text = ReadText(ScreenFile(number));
    const std::string comment = ";Configuration file for screen: " + std::to_string(number) + " ";
    EXPECT_EQ(text.substr(0, comment.size() + 1), comment + "\n");
    ProfileStore file(ScreenFile(number));
    EXPECT_EQ(file.ReadKeys("General"),
              (std::vector<std::string>{"Title", "Left", "Top", "Width", "Height"}));
    EXPECT_EQ(file.ReadString("General", "Title", ""), "Boiler");
    EXPECT_EQ(file.ReadInteger("General", "Width", 0), 640);
    EXPECT_EQ(file.ReadInteger("General", "Height", 0), 480);

    EXPECT_TRUE(screen->EditMode());
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(screen->parentWidget(), m_dock.widget());
    EXPECT_EQ(screen->ClientSize(), QSize(640, 480));
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_FALSE(m_config.SectionExists("Screens")) << "only WriteScreenList records it";
    ASSERT_TRUE(list.WriteScreenList());
    EXPECT_EQ(ReadScreenList(m_config), std::vector<int>{number});
}

TEST_F(TFormScreenTest, NewNumbersAreNotTakenByAnotherScreenOfTheList) {
    ScreenList list(m_config, m_tags, &m_dock, nullptr);
    std::set<int> numbers;
    for (int i = 0; i < 5; ++i) {
        list.SeedScreenNumbers(3); // the same draw every time
        numbers.insert(list.CreateScreen("S")->ScreenFileNumber());
    }
    EXPECT_EQ(numbers.size(), 5u);
}

TEST_F(TFormScreenTest, MissingScreenFileStartsEmptyWithTheDefaults) {
    auto screen = std::make_unique<TFormScreen>(m_config, m_tags, &m_dock);
    screen->OpenScreenFile(12);
    screen->LoadGeneralSettings();
    EXPECT_EQ(ReadText(ScreenFile(12)), ";Configuration file for screen: 12 ");
    EXPECT_EQ(screen->Caption(), "Screen");
    EXPECT_EQ(screen->ClientSize(), QSize(640, 480));
    EXPECT_TRUE(screen->Objects().empty());
    EXPECT_TRUE(screen->ReadVisibleFlag());
    EXPECT_EQ(screen->Frame().pixelColor(320, 240), kBlack);
}

TEST_F(TFormScreenTest, GeneralSettingsGiveTitleSizePositionAndFlags) {
    auto screen = Open(3, "[General]\nTitle=K\xE4ltemaschine\nWidth=320\nHeight=200\n"
                          "Left=55\nTop=66\nVisible=0\n");
    screen->move(30, 40);
    screen->LoadGeneralSettings();
    EXPECT_EQ(screen->Caption(), "K\xE4ltemaschine") << "as stored";
    EXPECT_EQ(screen->windowTitle(), QString::fromUtf8("Kältemaschine"));
    EXPECT_EQ(screen->pos(), QPoint(0, 0));
    EXPECT_EQ(screen->ClientSize(), QSize(320, 200));
    EXPECT_EQ(screen->Frame().size(), QSize(320, 200));
    EXPECT_FALSE(screen->ReadVisibleFlag());
}

TEST_F(TFormScreenTest, BackgroundBitmapIsRelativeToCfgOrAbsolute) {
    WriteBitmap(CfgFile("plant.bmp"), {20, 10}, kRed);
    WriteBitmap(CfgFile("pics/blue.bmp"), {20, 10}, kBlue);
    WriteBitmap(m_root / "elsewhere" / "plant.bmp", {20, 10}, kWhite);
    WriteText(CfgFile("broken.bmp"), "not a bitmap");
    struct Case {
        std::string stored;
        QColor atOrigin;
    } const cases[] = {
        {"plant.bmp", kRed},
        {"pics\\blue.bmp", kBlue},
        {(m_root / "elsewhere" / "plant.bmp").string(), kWhite},
        {"missing.bmp", kBlack},
        {"broken.bmp", kBlack},
        {"/proc/self/mem", kBlack}, // a read error
        {"", kBlack},
    };
    for (const Case& c : cases) {
        auto screen = Open(4, "[General]\nBackground.Bitmap=" + c.stored + "\n");
        StderrOf([&] { screen->LoadGeneralSettings(); });
        const QImage frame = screen->Frame();
        EXPECT_EQ(frame.pixelColor(0, 0), c.atOrigin) << c.stored;
        EXPECT_EQ(frame.pixelColor(19, 9), c.atOrigin) << c.stored;
        EXPECT_EQ(frame.pixelColor(20, 0), kBlack) << c.stored;
    }
}

TEST_F(TFormScreenTest, HidingSavesOnlyInEditMode) {
    const std::string content = "[General]\nTitle=Pumps\nWidth=300\nHeight=200\nNoOfMarkers=0\n";
    m_dock.show();
    auto screen = Prepared(5, content);
    screen->SetScreenMode(false, false, false);
    const std::string runTimeFile = ReadText(ScreenFile(5));
    screen->show();
    screen->Objects().push_back(TScreenMarker());
    screen->hide();
    EXPECT_EQ(ReadText(ScreenFile(5)), runTimeFile) << "run-time mode writes nothing";

    screen->SetScreenMode(true, false, false);
    screen->show();
    screen->Objects().resize(2);
    screen->Objects()[1].Left = 30;
    screen->SetClientSize({310, 210});
    screen->hide();
    ProfileStore file(ScreenFile(5));
    EXPECT_EQ(file.ReadString("General", "Title", ""), "Pumps");
    EXPECT_EQ(file.ReadInteger("General", "Width", 0), 310);
    EXPECT_EQ(file.ReadInteger("General", "Height", 0), 210);
    EXPECT_EQ(file.ReadInteger("General", "NoOfMarkers", 0), 2);
    EXPECT_EQ(file.ReadString("Marker.1", "TL", ""), "30,0");
    EXPECT_TRUE(file.SectionExists("Marker.0"));
}

TEST_F(TFormScreenTest, ScreenModeDocksOrFloatsAndShowsTheMenuItemsOfTheMode) {
    QWidget owner;
    struct Case {
        bool edit, runtimeSwitch, floating;
        bool exitVisible;
        int border;
    } const cases[] = {
        {true, false, false, false, 4}, {false, false, false, false, 0},
        {false, false, true, false, 0}, {false, true, false, false, 0},
        {false, true, true, true, 0},   {true, true, false, false, 4},
    };
    for (const Case& c : cases) {
        auto screen = Prepared(6, "[General]\nWidth=250\nHeight=150\n");
        TFormScreen floating(m_config, m_tags, &m_dock, &owner);
        floating.OpenScreenFile(6);
        floating.LoadGeneralSettings();
        TFormScreen& target = c.floating ? floating : *screen;
        target.SetScreenMode(c.edit, c.runtimeSwitch, c.floating);
        const std::string what =
            std::to_string(c.edit) + std::to_string(c.runtimeSwitch) + std::to_string(c.floating);

        EXPECT_EQ(target.EditMode(), c.edit) << what;
        EXPECT_EQ(target.isWindow(), c.floating) << what;
        if (c.floating) {
            EXPECT_EQ(target.parentWidget(), &owner) << what;
            EXPECT_EQ(target.windowType(), Qt::Tool) << what;
            EXPECT_EQ(target.windowFlags().testFlag(Qt::FramelessWindowHint), !c.edit) << what;
        } else {
            ASSERT_NE(m_dock.widget(), nullptr);
            EXPECT_EQ(m_dock.widget()->objectName(), "ScrollBoxDockContents");
            EXPECT_EQ(target.parentWidget(), m_dock.widget()) << what;
        }
        EXPECT_FALSE(target.isVisible()) << what;
        EXPECT_EQ(target.ClientSize(), QSize(250, 150)) << what;
        EXPECT_EQ(target.size(), QSize(250 + 2 * c.border, 150 + 2 * c.border)) << what;

        const QMenu* menu = target.PopupMenu();
        EXPECT_EQ(menu->objectName(), "PopupMenuScreen");
        const auto visible = [menu](const char* name) {
            return menu->findChild<QAction*>(name)->isVisible();
        };
        EXPECT_EQ(visible("ExitProgram"), c.exitVisible) << what;
        for (const char* name : {"NewObject", "EditObject", "DeleteObject", "ScreenProperties"})
            EXPECT_EQ(visible(name), c.edit) << what << " " << name;
        for (const char* name : {"CloneObject", "BringToFront", "SendToBack"})
            EXPECT_TRUE(visible(name)) << what << " " << name;
    }
}

TEST_F(TFormScreenTest, ScreenModeWritesThePlacementFirst) {
    auto screen = Open(7, "[General]\nWidth=250\nHeight=150\n");
    screen->SetClientSize({123, 45});
    screen->SetScreenMode(true, false, false);
    ProfileStore file(ScreenFile(7));
    EXPECT_EQ(file.ReadInteger("General", "Width", 0), 123);
    EXPECT_EQ(file.ReadInteger("General", "Height", 0), 45);
    EXPECT_TRUE(file.ReadKeys("General").size() == 4 &&
                file.ReadString("General", "Left", "") == "0");
    EXPECT_EQ(screen->ClientSize(), QSize(123, 45));
}

TEST_F(TFormScreenTest, DraggingTheEditBorderSizesTheClientArea) {
    auto screen = Prepared(8, "[General]\nWidth=200\nHeight=100\n");
    screen->SetScreenMode(true, false, false);
    const QPoint corner(screen->width() - 2, screen->height() - 2);
    SendMouse(screen.get(), QEvent::MouseButtonPress, corner, Qt::LeftButton);
    SendMouse(screen.get(), QEvent::MouseMove, corner + QPoint(30, 20), Qt::LeftButton);
    SendMouse(screen.get(), QEvent::MouseButtonRelease, corner + QPoint(30, 20), Qt::NoButton);
    EXPECT_EQ(screen->ClientSize(), QSize(230, 120));
    EXPECT_EQ(screen->Frame().size(), QSize(230, 120));
    const QPoint right(screen->width() - 1, 50);
    SendMouse(screen.get(), QEvent::MouseButtonPress, right, Qt::LeftButton);
    SendMouse(screen.get(), QEvent::MouseMove, right + QPoint(-40, 70), Qt::LeftButton);
    EXPECT_EQ(screen->ClientSize(), QSize(190, 120)) << "the right edge moves only the width";
}

// A screen file asking for more than the largest screen gets the largest screen, and so
// does a drag of the edit border beyond it.
TEST_F(TFormScreenTest, ScreensAreNeverLargerThanTheLargestScreen) {
    std::unique_ptr<TFormScreen> screen;
    const std::string said =
        StderrOf([&] { screen = Prepared(14, "[General]\nWidth=30000\nHeight=20\n"); });
    EXPECT_NE(said.find("Width=30000"), std::string::npos) << said;
    EXPECT_EQ(screen->ClientSize(), QSize(8192, 20));
    EXPECT_EQ(screen->Frame().size(), QSize(8192, 20));
    screen->SetScreenMode(true, false, false);
    EXPECT_EQ(screen->ClientSize(), QSize(8192, 20));
    const QPoint corner(screen->width() - 2, screen->height() - 2);
    SendMouse(screen.get(), QEvent::MouseButtonPress, corner, Qt::LeftButton);
    SendMouse(screen.get(), QEvent::MouseMove, corner + QPoint(500, 30), Qt::LeftButton);
    SendMouse(screen.get(), QEvent::MouseButtonRelease, corner + QPoint(500, 30), Qt::NoButton);
    EXPECT_EQ(screen->ClientSize(), QSize(8192, 50));
    EXPECT_EQ(screen->Frame().size(), QSize(8192, 50));
}

TEST_F(TFormScreenTest, SetGridRepaintsAtOnce) {
    auto screen = Prepared(9, "[General]\nWidth=100\nHeight=100\n");
    screen->SetScreenMode(true, false, false);
    screen->SetGrid(true, false);
    EXPECT_EQ(screen->Frame().pixelColor(10, 10), kWhite);
    EXPECT_FALSE(screen->SnapToGrid());
    screen->SetGrid(false, true);
    EXPECT_EQ(screen->Frame().pixelColor(10, 10), kBlack);
}

TEST_F(TFormScreenTest, RefreshTimerRepaintsHiddenScreensEverySecond) {
    auto screen = Open(10, "[General]\nWidth=200\nHeight=60\nNoOfMarkers=1\n"
                           "[Marker.0]\nTL=0,0\nBR=200,60\nType=0\nChannel=0\n");
    screen->LoadGeneralSettings();
    const auto* timer = screen->findChild<QTimer*>("TimerRefresh");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());

    const MarkerRect before = screen->Objects()[0].Bounds;
    m_tags.Update(0, [](TDataChannel& tag) { tag.RealValue = 12345.6; });
    QElapsedTimer waited;
    waited.start();
    while (screen->Objects()[0].Bounds == before && waited.elapsed() < 2500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(screen->isVisible());
    EXPECT_GT(screen->Objects()[0].Bounds.Right - screen->Objects()[0].Bounds.Left,
              before.Right - before.Left);
}

TEST_F(TFormScreenTest, PublishedFrameIsABmpOfTheClientSize) {
    auto screen = Open(11, "[General]\nWidth=321\nHeight=123\nBackground.Solid.Color=255\n");
    EXPECT_EQ(screen->FrameBmp(), nullptr) << "not painted yet";
    screen->LoadGeneralSettings();
    const SharedBmp shared = screen->FrameBmp();
    ASSERT_NE(shared, nullptr);
    const std::vector<uint8_t>& bmp = *shared;
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 18), 321u);
    EXPECT_EQ(Le32(bmp, 22), 123u);
    const size_t pixel = Le32(bmp, 10);
    EXPECT_EQ(bmp[pixel + 2], 255) << "red, stored as 0x000000FF";
    EXPECT_EQ(bmp[pixel], 0);
    // Every reader of one frame shares its bytes; the next paint has bytes of its own, once
    // as long as the last encoding took has passed.
    EXPECT_EQ(screen->FrameBmp(), shared);
    screen->PaintScreen();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(screen->FrameBmp(), shared);
    EXPECT_EQ(*screen->FrameBmp(), bmp);
}

// A numeric display of the tag and a preset button writing 1 to it, in front of a red
// background.
ObjectList DisplayAndButton() {
    TScreenMarker display = PlacedObject(kNumericDisplay, {10, 10, 120, 30});
    TScreenMarker button = PlacedObject(kPresetValueButton, {10, 40, 120, 60});
    button.AttrStr1 = "Start";
    button.AttrDouble1 = 1;
    button.Confirm = true;
    return {button, display};
}

TEST_F(TFormScreenTest, PublishedPngHoldsTheSamePixelsAsTheBmp) {
    auto screen = Open(13, "[General]\nWidth=200\nHeight=90\nBackground.Solid.Color=255\n");
    EXPECT_EQ(screen->FramePng(), nullptr) << "not painted yet";
    screen->Objects() = DisplayAndButton();
    screen->LoadGeneralSettings();
    const SharedBmp png = screen->FramePng();
    ASSERT_NE(png, nullptr);
    const auto bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(png->data()),
                                               static_cast<qsizetype>(png->size()));
    const SharedBmp bmp = screen->FrameBmp();
    const QImage fromBmp =
        QImage::fromData(QByteArray::fromRawData(reinterpret_cast<const char*>(bmp->data()),
                                                 static_cast<qsizetype>(bmp->size())),
                         "BMP");
    EXPECT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage fromPng = QImage::fromData(bytes, "PNG");
    ASSERT_EQ(fromPng.size(), QSize(200, 90));
    EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32),
              fromBmp.convertToFormat(QImage::Format_RGB32));
    EXPECT_LT(png->size(), bmp->size() / 4) << "flat screens compress well";
    EXPECT_EQ(screen->FramePng(), png) << "every reader of one frame shares its bytes";
}

class ScreenListTest : public TFormScreenTest {
protected:
    ScreenList m_list{m_config, m_tags, &m_dock, nullptr};
};

// The objects that a browser gets are those of the frame last composed, where that frame
// drew them; the buttons that go to another screen name the one the station shows.
TEST_F(ScreenListTest, ScreensTellTheObjectsOfTheirLastFrame) {
    for (const int number : {1, 2, 3}) {
        m_config.WriteInteger("Screens", "ScreenCfgId." + std::to_string(number - 1), number);
        WriteText(ScreenFile(number), "[General]\nWidth=300\nHeight=100\n");
    }
    m_list.LoadScreens();
    TFormScreen& first = *m_list.At(0);
    TScreenMarker previous = PlacedObject(kFunctionButton, {200, 10, 240, 30});
    previous.AttrInt1 = 0;
    TScreenMarker exit = PlacedObject(kFunctionButton, {250, 10, 290, 30});
    exit.AttrInt1 = 2;
    first.Objects() = DisplayAndButton();
    first.Objects().push_front(previous);
    first.Objects().push_back(exit);
    // Drawn first, at the back:
    for (const int32_t type : {kNumericInput, kBinaryDisplay, kMultiStateDisplay})
        first.Objects().push_back(PlacedObject(type, {150, 70, 190, 90}));
    EXPECT_TRUE(m_list.ScreenObjects(0).empty()) << "not drawn yet";
    first.PaintScreen();

    EXPECT_EQ(m_list.ScreenSizeOf(0), (ScreenSize{300, 100}));
    EXPECT_EQ(m_list.ScreenSizeOf(3), std::nullopt);
    EXPECT_TRUE(m_list.ScreenObjects(3).empty());
    const std::vector<ScreenObjectInfo> objects = m_list.ScreenObjects(0);
    std::vector<std::pair<std::string, std::string>> kinds;
    for (const ScreenObjectInfo& object : objects)
        kinds.emplace_back(object.type, object.action);
    EXPECT_EQ(kinds, (std::vector<std::pair<std::string, std::string>>{
                         {"Multi-state Display", ""},
                         {"Binary Display", ""},
                         {"Numeric Input", "input"},
                         {"Numeric Display", ""},
                         {"Preset Value Button", "preset"},
                         {"Function Button", "goto"},
                     }));
    ASSERT_EQ(objects.size(), 6u);
    const ScreenObjectInfo& shown = objects[3];
    const TScreenMarker& display = first.Objects()[2];
    EXPECT_EQ(shown.tag, 1);
    EXPECT_EQ(std::tuple(shown.x, shown.y, shown.x + shown.width, shown.y + shown.height),
              std::tuple(display.Bounds.Left, display.Bounds.Top, display.Bounds.Right,
                         display.Bounds.Bottom));
    EXPECT_EQ(objects[4].value, 1.0);
    EXPECT_TRUE(objects[4].confirm);
    EXPECT_EQ(objects[5].screen, 2) << "back from the first screen to the last";

    m_list.DeleteScreen(2);
    EXPECT_EQ(m_list.ScreenObjects(0)[5].screen, 1) << "the list as it is now";
    m_list.DeleteScreen(1);
    EXPECT_EQ(m_list.ScreenObjects(0)[5].screen, std::nullopt) << "no other screen";
}

TEST_F(ScreenListTest, LoadsTheScreensOfTheScreensSection) {
    WriteText(ScreenFile(5), "[General]\nTitle=Five\nWidth=100\nHeight=50\n");
    m_config.WriteInteger("Screens", "ScreenCfgId.0", 5);
    m_config.WriteInteger("Screens", "ScreenCfgId.1", 7);
    m_config.WriteInteger("Screens", "ScreenCfgId.3", 9);
    m_list.LoadScreens();
    ASSERT_EQ(m_list.Size(), 2u);
    EXPECT_EQ(m_list.At(0)->ScreenFileNumber(), 5);
    EXPECT_EQ(m_list.At(1)->ScreenFileNumber(), 7);
    EXPECT_EQ(m_list.At(2), nullptr);
    EXPECT_TRUE(std::filesystem::exists(ScreenFile(7)));
    EXPECT_EQ(m_list.ScreenCount(), 2u);
    EXPECT_EQ(m_list.ScreenCaption(0), "Five");
    EXPECT_EQ(m_list.ScreenCaption(1), "Screen");
    EXPECT_EQ(m_list.ScreenCaption(2), "");
    const auto bmp = m_list.ScreenBmp(0);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(Le32(*bmp, 18), 100u);
    EXPECT_EQ(m_list.ScreenBmp(2), nullptr);
}

TEST_F(ScreenListTest, DeletingAScreenKeepsItsFileAndRewritesTheSection) {
    for (int number : {1, 2, 3})
        m_config.WriteInteger("Screens", "ScreenCfgId." + std::to_string(number - 1), number);
    m_list.LoadScreens();
    m_list.DeleteScreen(1);
    m_list.DeleteScreen(5);
    ASSERT_TRUE(m_list.WriteScreenList());
    EXPECT_EQ(m_config.ReadKeys("Screens"),
              (std::vector<std::string>{"ScreenCfgId.0", "ScreenCfgId.1"}));
    EXPECT_EQ(ReadScreenList(m_config), (std::vector<int>{1, 3}));
    EXPECT_TRUE(std::filesystem::exists(ScreenFile(2)));
}

// Request threads read captions and frames while the user-interface thread paints,
// retitles, creates and deletes screens.
TEST_F(ScreenListTest, RequestThreadsReadFinishedFramesWhileScreensChange) {
    m_config.WriteInteger("Screens", "ScreenCfgId.0", 20);
    WriteText(ScreenFile(20), "[General]\nWidth=64\nHeight=32\n");
    m_list.LoadScreens();
    std::atomic<bool> done = false;
    std::atomic<int> bad = 0;
    std::thread reader([&] {
        for (int i = 0; i < 2000 && !done; ++i) {
            for (size_t index = 0; index < m_list.ScreenCount() + 1; ++index) {
                m_list.ScreenCaption(index);
                const auto bmp = m_list.ScreenBmp(index);
                if (bmp && (bmp->size() < 54 || Le32(*bmp, 2) != bmp->size()))
                    ++bad;
            }
        }
    });
    for (int i = 0; i < 40; ++i) {
        m_list.At(0)->SetScreenTitle("Title " + std::to_string(i));
        m_list.At(0)->PaintScreen();
        m_list.CreateScreen("Extra")->PaintScreen();
        m_list.DeleteScreen(1);
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(m_list.ScreenCaption(0), "Title 39");
}

// Request threads read the objects, sizes and PNG pictures while the user-interface thread
// edits the objects and the size of a screen and repaints it: every answer is one frame's,
// whose objects all stand in one place.
TEST_F(ScreenListTest, RequestThreadsReadFinishedObjectsWhileTheyAreEdited) {
    m_config.WriteInteger("Screens", "ScreenCfgId.0", 21);
    WriteText(ScreenFile(21), "[General]\nWidth=64\nHeight=32\n");
    m_list.LoadScreens();
    std::atomic<bool> done = false;
    std::atomic<int> bad = 0;
    std::atomic<int> reads = 0;
    std::thread reader([&] {
        while (!done) {
            const auto objects = m_list.ScreenObjects(0);
            const auto size = m_list.ScreenSizeOf(0);
            const auto png = m_list.ScreenPng(0);
            const bool oneFrame = std::ranges::all_of(objects, [&](const ScreenObjectInfo& o) {
                return o.type == "Numeric Display" && o.tag == 1 && o == objects.front();
            });
            if (!oneFrame || !size || (png && png->size() < 8))
                ++bad;
            ++reads;
        }
    });
    for (int i = 1; i <= 40 || reads < 100; ++i) {
        TFormScreen& screen = *m_list.At(0);
        screen.Objects().clear();
        for (int n = 0; n < i % 7; ++n)
            screen.Objects().push_back(
                PlacedObject(kNumericDisplay, {i, 10 * i, i + 30, 10 * i + 20}));
        screen.SetClientSize({64 + i, 32 + i});
        screen.PaintScreen();
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad, 0);
}

} // namespace
