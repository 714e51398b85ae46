#include "ScreenTestSupport.h"

#include "ScreenFile.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

TEST(ParseStoredPoint, ReadsEachNumberAsAtolDoes) {
    struct Case {
        const char* text;
        StoredPoint point;
    } const cases[] = {
        {"300,200", {300, 200}}, {"-7,+12", {-7, 12}},
        {"  15, 20", {15, 20}},  {"12px,9;", {12, 9}},
        {"abc,5", {0, 5}},       {",", {0, 0}},
        {"300 200", {0, 0}},     {"", {0, 0}},
        {"1,2,3", {1, 2}},       {"99999999999,-99999999999", {2147483647, -2147483647 - 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseStoredPoint(c.text), c.point) << c.text;
}

class ScreenFileTest : public ScreenDataRootTest {
protected:
    // A screen file with `general` keys in [General] and the given marker sections.
    ProfileStore& Screen(const std::string& content) {
        WriteText(CfgFile("screen.1.cfg"), content);
        m_screen = std::make_unique<ProfileStore>(CfgFile("screen.1.cfg"));
        return *m_screen;
    }

    std::unique_ptr<ProfileStore> m_screen;
};

MarkerRect RectOf(const TScreenMarker& object) {
    return object.Rect();
}

TEST_F(ScreenFileTest, LoadOrdersCornersAndMovesObjectsOutsideTheScreenToTheOrigin) {
    struct Case {
        const char* tl;
        const char* br;
        MarkerRect loaded;
    } const cases[] = {
        {"300,200", "100,50", {100, 50, 300, 200}},               // corners swapped
        {"600,400", "700,450", {0, 0, 100, 50}},                  // right corner beyond the width
        {"10,10", "640,100", {0, 0, 630, 90}},                    // x = 640 is outside
        {"10,10", "639,479", {10, 10, 639, 479}},                 // last pixel still inside
        {"10,10", "100,480", {0, 0, 90, 470}},                    // y = 480 is outside
        {"-5,10", "20,30", {0, 0, 25, 20}},                       // negative corner
        {"nonsense", "also", {0, 0, 0, 0}},                       // no comma: both (0, 0)
        {"-2147483648,0", "2147483647,0", {0, 0, 2147483647, 0}}, // size saturates
    };
    for (const Case& c : cases) {
        ProfileStore& file = Screen(std::string("[General]\nNoOfMarkers=1\n[Marker.0]\nTL=") +
                                    c.tl + "\nBR=" + c.br + "\n");
        const ObjectList objects = LoadObjects(file);
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(RectOf(objects[0]), c.loaded) << c.tl << " " << c.br;
        EXPECT_EQ(objects[0].Bounds, c.loaded);
    }
}

TEST_F(ScreenFileTest, TheReferenceAreaIsTheStoredScreenSize) {
    ProfileStore& file = Screen("[General]\nWidth=800\nHeight=600\nNoOfMarkers=1\n"
                                "[Marker.0]\nTL=600,400\nBR=700,450\n");
    EXPECT_EQ(RectOf(LoadObjects(file)[0]), (MarkerRect{600, 400, 700, 450}));
}

TEST_F(ScreenFileTest, LoadReadsEveryFieldAndDefaultsMissingSections) {
    ProfileStore& file = Screen("[General]\nNoOfMarkers=3\n"
                                "[Marker.0]\nTL=10,20\nBR=110,40\nUseStyle=2\nType=51\n"
                                "Channel=7\nAttrInt1=4\nAttrStr1=Start pump\nAttrDouble1=2.5\n"
                                "[Marker.2]\nType=abc\nChannel=5\n");
    const ObjectList objects = LoadObjects(file);
    ASSERT_EQ(objects.size(), 3u);
    const TScreenMarker& first = objects[0];
    EXPECT_EQ(RectOf(first), (MarkerRect{10, 20, 110, 40}));
    EXPECT_EQ(first.UseStyle, 2);
    EXPECT_EQ(first.Type, kPresetValueButton);
    EXPECT_EQ(first.Channel, 7);
    EXPECT_EQ(first.AttrInt1, 4);
    EXPECT_EQ(first.AttrStr1, "Start pump");
    EXPECT_EQ(first.AttrDouble1, 2.5);
    for (const TScreenMarker* missing : {&objects[1], &objects[2]}) {
        EXPECT_EQ(RectOf(*missing), (MarkerRect{}));
        EXPECT_EQ(missing->Type, 0);
        EXPECT_EQ(missing->AttrInt1, -1);
        EXPECT_EQ(missing->AttrStr1, "");
    }
    EXPECT_EQ(objects[1].Channel, 0);
    EXPECT_EQ(objects[2].Channel, 5);
}

std::string MarkerSections(int from, int to) {
    std::string sections;
    for (int i = from; i < to; ++i)
        sections += "[Marker." + std::to_string(i) + "]\nTL=" + std::to_string(i) + ",0\n";
    return sections;
}

// The stated count is bounded and the list ends at the last object section there is, so
// that a damaged count neither loads a flood of empty objects nor runs out of memory.
TEST_F(ScreenFileTest, ObjectCountsAreBoundedByTheSectionsThereAndReported) {
    struct Case {
        int stated;
        std::string sections;
        size_t loaded;
        const char* message; // part of the line on stderr; empty for none
    } const cases[] = {
        {3, MarkerSections(0, 3), 3, ""},
        {0, MarkerSections(0, 2), 0, ""},
        {5, "[Marker.0]\nType=6\n[Marker.2]\nType=6\n", 3, "NoOfMarkers=5 but Marker.3"},
        {4, "", 0, "NoOfMarkers=4 but Marker.0"},
        {20000, MarkerSections(0, 3), 3, "NoOfMarkers=20000 exceeds the 10000 objects"},
        {12000, MarkerSections(0, 12000), 10000, "NoOfMarkers=12000 exceeds the 10000 objects"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stated);
        ProfileStore& file =
            Screen("[General]\nNoOfMarkers=" + std::to_string(c.stated) + "\n" + c.sections);
        ObjectList objects;
        const std::string said = StderrOf([&] { objects = LoadObjects(file); });
        EXPECT_EQ(objects.size(), c.loaded);
        if (*c.message == '\0') {
            EXPECT_EQ(said, "");
            continue;
        }
        EXPECT_NE(said.find(CfgFile("screen.1.cfg").string()), std::string::npos) << said;
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        EXPECT_NE(said.find(std::to_string(c.loaded) + " objects loaded"), std::string::npos)
            << said;
    }
}

// An object that lies beyond the largest screen is moved to the origin like any object
// outside the screen, where it can be seen and grabbed.
TEST_F(ScreenFileTest, ScreenSidesBeyondTheLargestScreenAreHeldAtItAndReported) {
    struct Case {
        const char* size;
        const char* tl;
        const char* br;
        MarkerRect loaded;
        const char* message;
    } const cases[] = {
        {"Width=8192\nHeight=8192", "8000,8000", "8191,8191", {8000, 8000, 8191, 8191}, ""},
        {"Width=30000\nHeight=20", "20000,5", "20100,15", {0, 0, 100, 10}, "Width=30000"},
        {"Width=20\nHeight=30000", "5,20000", "15,20100", {0, 0, 10, 100}, "Height=30000"},
        {"Width=30000\nHeight=30000",
         "8000,8000",
         "8191,8191",
         {8000, 8000, 8191, 8191},
         "Height=30000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ProfileStore& file =
            Screen(std::string("[General]\n") + c.size + "\nNoOfMarkers=1\n[Marker.0]\nTL=" + c.tl +
                   "\nBR=" + c.br + "\n");
        ObjectList objects;
        const std::string said = StderrOf([&] { objects = LoadObjects(file); });
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(RectOf(objects[0]), c.loaded);
        if (*c.message == '\0')
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find(std::string(c.message) + " exceeds the largest screen side, 8192"),
                      std::string::npos)
                << said;
    }
}

TEST_F(ScreenFileTest, GraphicalSymbolsLoadTheirPictureWithoutResizing) {
    // A picture file that does not exist gives the 30 × 30 placeholder and its size.
    ProfileStore& file = Screen("[General]\nNoOfMarkers=1\n"
                                "[Marker.0]\nTL=50,60\nBR=200,200\nType=100\nAttrStr1=none.bmp\n");
    const ObjectList objects = LoadObjects(file);
    ASSERT_TRUE(objects[0].Graphic.has_value());
    EXPECT_EQ(RectOf(objects[0]), (MarkerRect{50, 60, 80, 90}));
}

TEST_F(ScreenFileTest, SaveWritesEveryObjectAndLeavesLongerListsSectionsAlone) {
    ProfileStore& file = Screen("[General]\nNoOfMarkers=2\n"
                                "[Marker.0]\nTL=1,1\n[Marker.1]\nTL=2,2\n[Marker.2]\nTL=3,3\n"
                                "[Marker.3]\nTL=4,4\n[Marker.4]\nTL=5,5\n");
    ObjectList objects = LoadObjects(file);
    ASSERT_EQ(objects.size(), 2u);
    objects.pop_back();
    objects[0] = TScreenMarker();
    objects[0].Left = 100;
    objects[0].Top = 50;
    objects[0].Right = 300;
    objects[0].Bottom = 200;
    objects[0].Type = kMultiStateDisplay;
    objects[0].Channel = 3;
    objects[0].UseStyle = 1;
    objects[0].AttrInt1 = -1;
    objects[0].AttrStr1 = "0=zero;1=one";
    objects[0].AttrDouble1 = 0.25;
    ASSERT_TRUE(SaveObjects(file, objects));

    EXPECT_EQ(file.ReadString("Marker.0", "TL", ""), "100,50");
    EXPECT_EQ(file.ReadString("Marker.0", "BR", ""), "300,200");
    EXPECT_EQ(file.ReadString("Marker.0", "AttrDouble1", ""), "0.25");
    EXPECT_EQ(file.ReadKeys("Marker.0"),
              (std::vector<std::string>{"TL", "BR", "UseStyle", "Type", "Channel", "AttrInt1",
                                        "AttrStr1", "AttrDouble1"}));
    EXPECT_EQ(file.ReadInteger("General", "NoOfMarkers", 0), 1);
    for (const char* stale : {"Marker.1", "Marker.2", "Marker.3", "Marker.4"})
        EXPECT_TRUE(file.SectionExists(stale)) << stale;

    ProfileStore reread(CfgFile("screen.1.cfg"));
    const ObjectList loaded = LoadObjects(reread);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(RectOf(loaded[0]), (MarkerRect{100, 50, 300, 200}));
    EXPECT_EQ(loaded[0].Type, kMultiStateDisplay);
    EXPECT_EQ(loaded[0].Channel, 3);
    EXPECT_EQ(loaded[0].UseStyle, 1);
    EXPECT_EQ(loaded[0].AttrInt1, -1);
    EXPECT_EQ(loaded[0].AttrStr1, "0=zero;1=one");
    EXPECT_EQ(loaded[0].AttrDouble1, 0.25);
}

// A screen that never asks before writing keeps files without the key.
TEST_F(ScreenFileTest, ConfirmIsWrittenOnlyWhileSet) {
    ProfileStore& file = Screen("[General]\nNoOfMarkers=3\n"
                                "[Marker.0]\nType=51\nConfirm=1\n"
                                "[Marker.1]\nType=50\n"
                                "[Marker.2]\nType=50\nConfirm=0\n");
    ObjectList objects = LoadObjects(file);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(std::vector<bool>({objects[0].Confirm, objects[1].Confirm, objects[2].Confirm}),
              std::vector<bool>({true, false, false}));
    objects[1].Confirm = true;
    objects[0].Confirm = false;
    ASSERT_TRUE(SaveObjects(file, objects));
    EXPECT_EQ(file.ReadString("Marker.0", "Confirm", "absent"), "absent");
    EXPECT_EQ(file.ReadString("Marker.1", "Confirm", "absent"), "1");
    EXPECT_EQ(file.ReadString("Marker.2", "Confirm", "absent"), "absent");
    ProfileStore reread(CfgFile("screen.1.cfg"));
    EXPECT_TRUE(LoadObjects(reread)[1].Confirm);
}

TEST_F(ScreenFileTest, NewScreenFileHoldsOnlyItsCommentLine) {
    const auto path = CfgFile("screen.17.cfg");
    ASSERT_TRUE(CreateScreenFile(path, 17));
    EXPECT_EQ(ReadText(path), ";Configuration file for screen: 17 ");
    WriteText(path, "[General]\nTitle=Kept\n");
    ASSERT_TRUE(CreateScreenFile(path, 17));
    EXPECT_EQ(ReadText(path), "[General]\nTitle=Kept\n");
    EXPECT_EQ(ScreenFileName(17), "cfg\\screen.17.cfg");
}

TEST_F(ScreenFileTest, ScreenListStopsAtTheFirstAbsentOrNegativeEntry) {
    struct Case {
        const char* section;
        std::vector<int> numbers;
    } const cases[] = {
        {"", {}},
        {"ScreenCfgId.0=12\nScreenCfgId.1=0\nScreenCfgId.2=31999\n", {12, 0, 31999}},
        {"ScreenCfgId.0=4\nScreenCfgId.2=5\n", {4}},
        {"ScreenCfgId.0=4\nScreenCfgId.1=-1\nScreenCfgId.2=5\n", {4}},
        {"ScreenCfgId.0=x\nScreenCfgId.1=5\n", {}},
    };
    for (const Case& c : cases) {
        WriteText(CfgFile("config.cfg"), std::string("[Screens]\n") + c.section);
        EXPECT_EQ(ReadScreenList(m_config), c.numbers) << c.section;
    }
}

// A longer list opens its first 1,000 screens and names the entries left out on stderr.
TEST_F(ScreenFileTest, AtMostAThousandScreensAreLoaded) {
    const struct {
        int entries;
        std::string said;
    } cases[] = {
        {1000, ""},
        {1001, "Screens lists 1001 screens: the first 1000 are loaded, ScreenCfgId.1000 is not\n"},
        {2000, "Screens lists 2000 screens: the first 1000 are loaded, ScreenCfgId.1000 to "
               "ScreenCfgId.1999 are not\n"},
    };
    for (const auto& c : cases) {
        std::string section = "[Screens]\n";
        for (int i = 0; i < c.entries; ++i)
            section += "ScreenCfgId." + std::to_string(i) + "=" + std::to_string(30000 - i) + "\n";
        WriteText(CfgFile("config.cfg"), section);
        std::vector<int> numbers;
        const std::string said = StderrOf([&] { numbers = ReadScreenList(m_config); });
        ASSERT_EQ(numbers.size(), 1000u) << c.entries;
        EXPECT_EQ(numbers.front(), 30000);
        EXPECT_EQ(numbers.back(), 29001);
        EXPECT_EQ(said, c.said.empty() ? "" : CfgFile("config.cfg").string() + ": " + c.said);
        // what a save of the list keeps after the loaded screens
        const std::vector<int> leftOut = ScreensLeftOut(m_config);
        ASSERT_EQ(leftOut.size(), static_cast<size_t>(c.entries - 1000));
        if (!leftOut.empty()) {
            EXPECT_EQ(leftOut.front(), 29000);
        }
    }
}

TEST_F(ScreenFileTest, WriteScreenListReplacesTheWholeSection) {
    WriteText(CfgFile("config.cfg"), "[Screens]\nScreenCfgId.0=1\nScreenCfgId.1=2\n"
                                     "ScreenCfgId.2=3\nOther=x\n[General]\nA=1\n");
    ASSERT_TRUE(WriteScreenList(m_config, {3, 1}));
    EXPECT_EQ(m_config.ReadKeys("Screens"),
              (std::vector<std::string>{"ScreenCfgId.0", "ScreenCfgId.1"}));
    EXPECT_EQ(ReadScreenList(m_config), (std::vector<int>{3, 1}));
    EXPECT_EQ(m_config.ReadString("General", "A", ""), "1");
}

} // namespace
