#include "ScreenTestSupport.h"

#include "ObjectLook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace halvane;

namespace {

TEST(BinaryLabel, TakesTheTextsAroundTheLastSemicolon) {
    struct Case {
        const char* labels;
        bool on;
        const char* text;
    } const cases[] = {
        {"Open;Closed", true, "Open"},
        {"Open;Closed", false, "Closed"},
        {"Running", true, ""},
        {"Running", false, "Running"},
        {"A;B;C", true, "A;B"},
        {"A;B;C", false, "C"},
        {";", true, ""},
        {"", false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BinaryLabel(c.labels, c.on), c.text) << c.labels << " " << c.on;
}

TEST(MultiStateLabel, MatchesWholeKeysOnly) {
    struct Case {
        const char* list;
        double value;
        const char* text;
    } const cases[] = {
        {"0=zero;1=one;2=two", 1.7, "one"},
        {"0=zero;1=one;2=two", -0.5, "zero"},
        {"0=zero;1=one;2=two", 2, "two"},
        {"0=zero;1=one;2=two", 3, "?"},
        {"0=zero;1=;2=two", 1, ""},
        {"11=eleven", 1, "?"},
        {"11=eleven;1=one", 1, "one"},
        {"11=eleven;1=one", 11, "eleven"},
        {"-1=minus;1=plus", -1.9, "minus"},
        {"5=five", 5, "five"},
        {"1=a=b;2=c", 1, "a=b"},
        {"0=zero", std::nan(""), "?"},
        {"0=zero", 1e300, "?"},
        {"3000000000=big", 3e9, "big"},
        {"", 0, "?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MultiStateLabel(c.list, c.value), c.text) << c.list << " @ " << c.value;
}

TEST(ClockTexts, HoursWithoutAndMinutesWithLeadingZero) {
    EXPECT_EQ(TimeText(QTime(9, 5)), "9:05");
    EXPECT_EQ(TimeText(QTime(14, 30)), "14:30");
    EXPECT_EQ(TimeText(QTime(0, 0)), "0:00");
    EXPECT_EQ(DateText(QDate(2026, 12, 9)), "09-12-2026");
    EXPECT_EQ(DateText(QDate(2027, 1, 31)), "31-01-2027");
}

class ObjectLookTest : public ScreenDataRootTest {
protected:
    ObjectLookTest() {
        m_tags = {MakeTag("Pressure", 2.345, true, "bar"), MakeTag("Valve", 1),
                  MakeTag("Mode", 1.7), MakeTag("Flow", 0.2, false, "", "%0.2f")};
        m_tags[0].EnableAlert = true;
        m_tags[0].HighThreshold = 100;
    }

    ObjectLook Look(int32_t type, int32_t channel, int32_t attrInt = -1,
                    const std::string& attrStr = "", int index = 0, int pressed = -1) {
        TScreenMarker object;
        object.Type = type;
        object.Channel = channel;
        object.AttrInt1 = attrInt;
        object.AttrStr1 = attrStr;
        return ComposeObjectLook(object, index, {m_tags, m_config, m_now, pressed});
    }

    static ObjectLook Expect(std::string value, std::string caption = "", bool highlighted = false,
                             bool live = true, bool framed = false) {
        ObjectLook look;
        look.value = std::move(value);
        look.caption = std::move(caption);
        look.highlighted = highlighted;
        look.liveColours = live;
        look.framed = framed;
        return look;
    }

    std::vector<TDataChannel> m_tags;
    QDateTime m_now{QDate(2026, 12, 9), QTime(9, 5, 42)};
};

TEST_F(ObjectLookTest, TextsAndFlagsOfEveryType) {
    m_config.WriteString("Strings", "Marker.Binary.2", "Open;Close");
    m_config.WriteString("Strings", "FunctionButton.1", ">>");
    struct Case {
        const char* what;
        ObjectLook look;
        ObjectLook expected;
    } const cases[] = {
        {"numeric", Look(kNumericDisplay, 0), Expect("2.3 bar", "Pressure")},
        {"numeric, no unit, not valid", Look(kNumericDisplay, 3),
         Expect("0.20", "Flow", false, false)},
        {"numeric out of range", Look(kNumericDisplay, 12), Expect("?", "unknown 12")},
        {"numeric negative index", Look(kNumericDisplay, -1), Expect("?", "unknown -1")},
        {"binary on", Look(kBinaryDisplay, 1, 2), Expect("Open", "Valve", true)},
        {"binary, absent label set", Look(kBinaryDisplay, 1, 9), Expect("On", "Valve", true)},
        {"binary out of range", Look(kBinaryDisplay, 4, 2), Expect("?", "unknown 4")},
        {"multi-state", Look(kMultiStateDisplay, 2, -1, "0=zero;1=one"), Expect("one", "Mode")},
        {"multi-state no entry", Look(kMultiStateDisplay, 2, -1, "11=x"), Expect("?", "Mode")},
        {"multi-state out of range", Look(kMultiStateDisplay, 10), Expect("?", "unknown 10")},
        {"time", Look(kCurrentTime, 99), Expect("9:05")},
        {"date", Look(kCurrentDate, 99), Expect("09-12-2026")},
        {"function button", Look(kFunctionButton, 0, 1), Expect(">>", "", false, true, true)},
        {"function button, absent caption", Look(kFunctionButton, 0, 7),
         Expect("BUTTON", "", false, true, true)},
        {"function button pressed", Look(kFunctionButton, 0, 1, "", 3, 3),
         Expect(">>", "", true, true, true)},
        {"static text", Look(kStaticText, 55, 0, "Boiler"), Expect("Boiler")},
        {"numeric input", Look(kNumericInput, 0), Expect("2.3 bar", "Pressure", false, true, true)},
        {"numeric input pressed", Look(kNumericInput, 0, -1, "", 2, 2),
         Expect("2.3 bar", "Pressure", true, true, true)},
        {"numeric input out of range", Look(kNumericInput, 40),
         Expect("?", "unknown 40", false, true, true)},
        {"preset button", Look(kPresetValueButton, 40, -1, "Start"),
         Expect("Start", "", false, true, true)},
        {"preset button pressed", Look(kPresetValueButton, 0, -1, "Start", 1, 1),
         Expect("Start", "", true, true, true)},
        {"reserved 52", Look(kReservedWriteType, 0, -1, "x"), Expect("")},
        {"other code below 100", Look(7, 0, -1, "x"), Expect("")},
        {"graphical symbol", Look(kGraphicalSymbol, 0, -1, "x.bmp"), Expect("")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.look.value, c.expected.value) << c.what;
        EXPECT_EQ(c.look.caption, c.expected.caption) << c.what;
        EXPECT_EQ(c.look.highlighted, c.expected.highlighted) << c.what;
        EXPECT_EQ(c.look.liveColours, c.expected.liveColours) << c.what;
        EXPECT_EQ(c.look.framed, c.expected.framed) << c.what;
    }
}

TEST_F(ObjectLookTest, NumericDisplaysAreHighlightedInAlarm) {
    EXPECT_FALSE(Look(kNumericDisplay, 0).highlighted);
    m_tags[0].RealValue = 150;
    EXPECT_TRUE(Look(kNumericDisplay, 0).highlighted);
    EXPECT_FALSE(Look(kNumericInput, 0).highlighted) << "inputs show only the press";
}

TEST_F(ObjectLookTest, BinaryDisplaysSwitchAtOneHalf) {
    m_config.WriteString("Strings", "Marker.Binary.0", "Open;Closed");
    struct Case {
        double value;
        const char* text;
    } const cases[] = {{1, "Open"}, {0.49, "Closed"}, {0.5, "Open"}, {-3, "Closed"}};
    for (const Case& c : cases) {
        m_tags[1].RealValue = c.value;
        const ObjectLook look = Look(kBinaryDisplay, 1, 0);
        EXPECT_EQ(look.value, c.text) << c.value;
        EXPECT_EQ(look.highlighted, c.value >= 0.5) << c.value;
    }
}

} // namespace
