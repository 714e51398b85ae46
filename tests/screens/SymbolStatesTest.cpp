#include "ScreenTestSupport.h"

#include "ObjectList.h"
#include "ScreenFile.h"
#include "ScreenPainter.h"
#include "SymbolGraphic.h"
#include "SymbolStates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace halvane;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

TEST(ParseSymbolPictures, ReadsWholeValuesAndPicturesAndRefusesBadPairs) {
    using Pairs = std::vector<SymbolValuePicture>;
    const struct {
        const char* text;
        Pairs pairs;
        const char* error; // nullptr: accepted
    } cases[] = {
        {"0=pumps/pump-off.svg;1=pumps/pump-on.svg",
         {{0, "pumps/pump-off.svg"}, {1, "pumps/pump-on.svg"}},
         nullptr},
        {" -1 = a b.svg ;; 20=pumps\\on.svg; ", {{-1, "a b.svg"}, {20, "pumps\\on.svg"}}, nullptr},
        {"", {}, nullptr},
        {"7=x.svg=y", {{7, "x.svg=y"}}, nullptr},
        {"0=a.svg;pump.svg", {}, "\"pump.svg\": a pair is a whole number"},
        {"1.5=a.svg", {}, "\"1.5=a.svg\": the value is not a whole number"},
        {"on=a.svg", {}, "\"on=a.svg\": the value is not a whole number"},
        {"=a.svg", {}, "\"=a.svg\": the value is not a whole number"},
        {"99999999999999999999=a.svg", {}, "the value is not a whole number"},
        {"1=", {}, "\"1=\": no picture is given"},
        {"1=a.svg;01=b.svg", {}, "\"01=b.svg\": the value 1 has a picture already"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedSymbolPictures parsed = ParseSymbolPictures(c.text);
        EXPECT_EQ(parsed.Pairs, c.pairs);
        ASSERT_EQ(parsed.Error.has_value(), c.error != nullptr);
        if (c.error)
            EXPECT_NE(parsed.Error->find(c.error), std::string::npos) << *parsed.Error;
        else
            EXPECT_EQ(ParseSymbolPictures(FormatSymbolPictures(parsed.Pairs)).Pairs, c.pairs);
    }
}

SymbolStates States(int32_t tag, std::string pictures, std::string noValue) {
    SymbolStates states;
    states.Tag = tag;
    states.Pictures = std::move(pictures);
    states.NoValue = std::move(noValue);
    return states;
}

QByteArray SolidSvg(const QColor& colour) {
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">)") +
           R"(<rect width="10" height="10" fill=")" + colour.name().toLatin1() + R"("/></svg>)";
}

class SymbolStatesTest : public ScreenDataRootTest {
protected:
    SymbolStatesTest() {
        m_view.clientSize = QSize(100, 100);
        m_view.showGrid = false;
        Put("pumps/own.svg", kBlue);
        Put("pumps/off.svg", kRed);
        Put("pumps/on.svg", kGreen);
        Put("pumps/unknown.svg", kGrey);
        Put("pumps/minus.svg", kYellow);
    }

    void Put(const std::string& file, const QColor& colour) {
        WriteText(m_root / "gallery" / file, SolidSvg(colour).toStdString());
    }

    // A pump at 20,20 to 60,60 following tag 1.
    static TScreenMarker Pump(const std::string& noValue) {
        TScreenMarker object = PlacedObject(kGraphicalSymbol, {20, 20, 60, 60});
        object.AttrStr1 = "pumps\\own.svg";
        object.States = States(1, "0=pumps/off.svg;1=pumps\\on.svg;-1=pumps/minus.svg", noValue);
        LoadSymbolGraphic(object, false);
        return object;
    }

    QColor Shown(double value, bool valid = true) {
        m_tags[1] = MakeTag("Pump", value, valid);
        return m_painter.PaintScreen(m_view, m_screen, m_objects, m_tags).image.pixelColor(40, 40);
    }

    ProfileStore m_screen{CfgFile("screen.1.cfg")};
    ScreenPainter m_painter{m_config};
    ScreenView m_view;
    ObjectList m_objects;
    std::vector<TDataChannel> m_tags{MakeTag("Other", 1), MakeTag("Pump", 0)};
};

// The pictures are read when the object loads: removed files still show at every paint.
TEST_F(SymbolStatesTest, ThePictureFollowsTheTagsNearestWholeValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    m_objects = {Pump("pumps/unknown.svg"), Pump("")};
    std::filesystem::remove_all(m_root / "gallery");
    for (const bool edit : {false, true}) {
        m_view.editMode = edit;
        const struct {
            double value;
            bool valid;
            QColor withNoValue;
            QColor withoutNoValue;
        } cases[] = {
            {0, true, kRed, kRed},          {1, true, kGreen, kGreen},
            {0.5, true, kGreen, kGreen},    {1.49, true, kGreen, kGreen},
            {0.49, true, kRed, kRed},       {-0.4, true, kRed, kRed},
            {-1.2, true, kYellow, kYellow}, {2, true, kGrey, kBlue},
            {1, false, kGrey, kBlue},       {nan, true, kGrey, kBlue},
            {1e300, true, kGrey, kBlue},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.value) + (c.valid ? "" : " not valid") +
                         (edit ? " edit" : " run-time"));
            std::swap(m_objects[0], m_objects[1]); // the front one shows
            EXPECT_EQ(Shown(c.value, c.valid), c.withoutNoValue);
            std::swap(m_objects[0], m_objects[1]);
            EXPECT_EQ(Shown(c.value, c.valid), c.withNoValue);
        }
    }
    m_objects[0].States.Tag = 5; // beyond the tag table
    EXPECT_EQ(Shown(1), kGrey);
}

TEST_F(SymbolStatesTest, SymbolsWithoutATagShowTheirOwnPicture) {
    TScreenMarker object = Pump("pumps/unknown.svg");
    object.States.Tag = -1;
    LoadSymbolGraphic(object, false);
    EXPECT_TRUE(object.States.Loaded.empty());
    m_objects = {object};
    EXPECT_EQ(Shown(1), kBlue);
}

TEST_F(SymbolStatesTest, KeysAreInTheScreenFileOnlyWhileSet) {
    const std::string plain = "[General]\nNoOfMarkers=1\n[Marker.0]\nTL=20,20\nBR=60,60\n"
                              "UseStyle=0\nType=100\nChannel=0\nAttrInt1=0\n"
                              "AttrStr1=pumps\\own.svg\nAttrDouble1=0\n";
    WriteText(CfgFile("screen.1.cfg"), plain);
    ProfileStore file(CfgFile("screen.1.cfg"));
    ObjectList objects = LoadObjects(file);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_FALSE(objects[0].States.IsBound());
    ASSERT_TRUE(SaveObjects(file, objects));
    EXPECT_EQ(ReadText(CfgFile("screen.1.cfg")), plain);

    objects[0].States = States(3, "0=pumps/off.svg;1=pumps/on.svg", "pumps/unknown.svg");
    ASSERT_TRUE(SaveObjects(file, objects));
    EXPECT_EQ(ReadText(CfgFile("screen.1.cfg")),
              plain + "SymbolTag=3\nSymbolPictures=0=pumps/off.svg;1=pumps/on.svg\n"
                      "SymbolNoValue=pumps/unknown.svg\n");
    ProfileStore reread(CfgFile("screen.1.cfg"));
    const TScreenMarker loaded = LoadObjects(reread)[0];
    EXPECT_EQ(loaded.States.Tag, 3);
    EXPECT_EQ(loaded.States.Loaded.size(), 2u);
    EXPECT_TRUE(loaded.States.NoValueLoaded.has_value());

    objects[0].States = {};
    ASSERT_TRUE(SaveObjects(file, objects));
    EXPECT_EQ(ReadText(CfgFile("screen.1.cfg")), plain);
}

TEST_F(SymbolStatesTest, ASymbolsTagCountsAsUsedAndIsRenumbered) {
    ObjectList objects{Pump(""), PlacedObject(kGraphicalSymbol, {0, 0, 10, 10})};
    objects[1].Channel = 4; // a symbol's Channel is no tag reference
    EXPECT_TRUE(IsTagUsed(objects, 1));
    EXPECT_FALSE(IsTagUsed(objects, 4));
    RenumberTagReferences(objects, 1, 0);
    RenumberTagReferences(objects, 4, 3);
    EXPECT_EQ(objects[0].States.Tag, 0);
    EXPECT_EQ(objects[1].Channel, 4);
    EXPECT_EQ(objects[1].States.Tag, -1);
}

} // namespace
