#include "ScreenTestSupport.h"

#include "ScreenPaintArea.h"
#include "ScreenPainter.h"
#include "StyledText.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

using namespace halvane;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

QRect ToQRect(const MarkerRect& r) {
    return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
}

QImage Filled(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TScreenMarker Symbol(MarkerRect rect, const QImage& picture) {
    TScreenMarker object = PlacedObject(kGraphicalSymbol, rect);
    object.Graphic = SymbolPicture::FromBitmap(picture);
    return object;
}

TScreenMarker Text(const std::string& text, MarkerRect rect) {
    TScreenMarker object = PlacedObject(kStaticText, rect);
    object.AttrStr1 = text;
    return object;
}

class ScreenPainterTest : public ScreenDataRootTest {
protected:
    ScreenPainterTest() {
        m_view.clientSize = QSize(200, 100);
        m_view.showGrid = false;
        m_tags = {MakeTag("Pressure", 2.345, true, "bar")};
    }

    QImage Paint() { return m_painter.PaintScreen(m_view, m_screen, m_objects, m_tags).image; }

    // The rectangle DrawStyledText gives for the same texts on a frame of the same size.
    MarkerRect StyledBounds(const MarkerRect& rect, const std::string& value,
                            const std::string& caption, bool highlighted = false,
                            bool framed = false) {
        QImage image = Filled(m_view.clientSize, kBlack);
        QPainter painter(&image);
        return DrawStyledText(painter, m_config, 0, rect, value, caption, highlighted, true,
                              framed);
    }

    // Style 0 without caption: the value green (M), highlighted red (A).
    void UseGreenValuesRedHighlights() {
        for (const char* key :
             {"M.Font.Color.R", "M.Font.Color.B", "A.Font.Color.G", "A.Font.Color.B"})
            m_config.WriteInteger("Style.0", key, 0);
        m_config.WriteInteger("Style.0", "HideDescription", 1);
    }

    ProfileStore m_screen{CfgFile("screen.1.cfg")};
    QDateTime m_now{QDate(2026, 12, 9), QTime(9, 5)};
    ScreenPainter m_painter{m_config, [this] { return m_now; }};
    ScreenView m_view;
    ObjectList m_objects;
    std::vector<TDataChannel> m_tags;
};

TEST_F(ScreenPainterTest, FrameHasTheClientSizeAndTheStoredBackgroundColour) {
    EXPECT_EQ(Paint().pixelColor(5, 5), kBlack);
    m_screen.WriteInteger("General", "Background.Solid.Color", 0x00336699);
    const QImage frame = Paint();
    EXPECT_EQ(frame.size(), QSize(200, 100));
    EXPECT_EQ(frame.pixelColor(0, 0), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(frame.pixelColor(199, 99), QColor(0x99, 0x66, 0x33));
}

TEST_F(ScreenPainterTest, FramesAreNeverLargerThanTheLargestScreen) {
    const struct {
        QSize client;
        QSize frame;
    } cases[] = {
        {{8192, 2}, {8192, 2}},
        {{30000, 2}, {8192, 2}},
        {{2, 8193}, {2, 8192}},
    };
    for (const auto& c : cases) {
        m_view.clientSize = c.client;
        EXPECT_EQ(Paint().size(), c.frame) << c.client.width() << "x" << c.client.height();
    }
}

TEST_F(ScreenPainterTest, BackgroundPictureSitsAtTheOriginAtItsOwnSize) {
    m_screen.WriteInteger("General", "Background.Solid.Color", 0xFF0000); // blue
    m_view.background = Filled({30, 20}, kRed);
    const QImage frame = Paint();
    EXPECT_EQ(frame.pixelColor(0, 0), kRed);
    EXPECT_EQ(frame.pixelColor(29, 19), kRed);
    EXPECT_EQ(frame.pixelColor(30, 5), kBlue);
    EXPECT_EQ(frame.pixelColor(5, 20), kBlue);
}

TEST_F(ScreenPainterTest, StretchFlagComesFromTheScreenFile) {
    EXPECT_FALSE(m_painter.PaintScreen(m_view, m_screen, m_objects, m_tags).stretch);
    m_screen.WriteBool("General", "Background.Stretch", true);
    EXPECT_TRUE(m_painter.PaintScreen(m_view, m_screen, m_objects, m_tags).stretch);
}

TEST_F(ScreenPainterTest, GridPixelsAreInvertedInEditModeOnly) {
    m_view.clientSize = QSize(205, 95);
    m_view.showGrid = true;
    EXPECT_EQ(InkBox(Paint(), QRect(0, 0, 205, 95), [](QColor c) { return c != kBlack; }), QRect())
        << "run-time mode";
    m_view.editMode = true;
    const QImage frame = Paint();
    for (QPoint inverted : {QPoint(0, 0), QPoint(10, 0), QPoint(190, 80), QPoint(50, 30)})
        EXPECT_EQ(frame.pixelColor(inverted), kWhite) << inverted.x() << "," << inverted.y();
    // Only whole cells: 205 / 10 = 20 columns and 95 / 10 = 9 rows.
    for (QPoint kept : {QPoint(200, 0), QPoint(0, 90), QPoint(5, 5), QPoint(11, 10)})
        EXPECT_EQ(frame.pixelColor(kept), kBlack) << kept.x() << "," << kept.y();
    m_view.showGrid = false;
    EXPECT_EQ(Paint().pixelColor(10, 10), kBlack) << "grid off";
}

TEST_F(ScreenPainterTest, SnapToGridMovesRectanglesDownAndStoresThem) {
    m_objects = {PlacedObject(200, {23, 47, 118, 96}), PlacedObject(200, {-7, -13, 9, 10})};
    Paint();
    EXPECT_EQ(m_objects[0].Rect(), (MarkerRect{20, 40, 110, 90}));
    EXPECT_EQ(m_objects[1].Rect(), (MarkerRect{0, -10, 0, 10}));
    m_objects[0] = PlacedObject(200, {23, 47, 118, 96});
    m_view.snapToGrid = false;
    Paint();
    EXPECT_EQ(m_objects[0].Rect(), (MarkerRect{23, 47, 118, 96}));
}

TEST_F(ScreenPainterTest, NumericDisplayBoundsCoverTheValueTextOnly) {
    TScreenMarker display = PlacedObject(kNumericDisplay, {20, 10, 180, 60});
    m_objects = {display};
    Paint();
    const MarkerRect expected = StyledBounds({20, 10, 180, 60}, "2.3 bar", "Pressure");
    EXPECT_EQ(m_objects[0].Bounds, expected);
    EXPECT_EQ(m_objects[0].Bounds.Top, 10);
    EXPECT_GT(m_objects[0].Bounds.Right - m_objects[0].Bounds.Left, 0);
    EXPECT_NEAR(m_objects[0].Bounds.Left - 20, 180 - m_objects[0].Bounds.Right, 1) << "centred";
}

TEST_F(ScreenPainterTest, TimeObjectShowsTheInjectedClock) {
    m_objects = {PlacedObject(kCurrentTime, {0, 0, 200, 50})};
    Paint();
    EXPECT_EQ(m_objects[0].Bounds, StyledBounds({0, 0, 200, 50}, "9:05", ""));
    m_now = QDateTime(QDate(2026, 12, 9), QTime(14, 30));
    Paint();
    EXPECT_EQ(m_objects[0].Bounds, StyledBounds({0, 0, 200, 50}, "14:30", ""));
}

TEST_F(ScreenPainterTest, ValueIsGreyWhileTheTagIsNotValid) {
    m_config.WriteInteger("Style.0", "HideDescription", 1);
    m_objects = {PlacedObject(kNumericDisplay, {0, 0, 200, 50})};
    const auto isInk = [](QColor c) { return c != kBlack; };
    const auto isGrey = [](QColor c) {
        return c.red() == c.green() && c.green() == c.blue() && c.red() <= 100;
    };
    QImage frame = Paint();
    const QRect box = ToQRect(m_objects[0].Bounds);
    EXPECT_FALSE(InkBox(frame, box, [](QColor c) { return c.red() > 200; }).isNull()) << "white";
    m_tags[0].ValueValid = false;
    frame = Paint();
    EXPECT_FALSE(InkBox(frame, box, isInk).isNull());
    EXPECT_TRUE(InkBox(frame, box, [&](QColor c) { return isInk(c) && !isGrey(c); }).isNull());
    EXPECT_FALSE(InkBox(frame, box, [](QColor c) { return c.red() > 90; }).isNull());
}

TEST_F(ScreenPainterTest, AlarmDrawsTheValueInTheHighlightedComponent) {
    UseGreenValuesRedHighlights();
    m_tags[0].EnableAlert = true;
    m_tags[0].HighThreshold = 10;
    m_objects = {PlacedObject(kNumericDisplay, {0, 0, 200, 50})};
    const auto redOnly = [](QColor c) { return c.red() > 0 && c.green() == 0 && c.blue() == 0; };
    const auto greenOnly = [](QColor c) { return c.green() > 0 && c.red() == 0 && c.blue() == 0; };

    QImage frame = Paint();
    QRect box = ToQRect(m_objects[0].Bounds);
    EXPECT_FALSE(InkBox(frame, box, greenOnly).isNull()) << "normal: M";
    EXPECT_TRUE(InkBox(frame, box, redOnly).isNull());

    m_tags[0].RealValue = 12;
    frame = Paint();
    box = ToQRect(m_objects[0].Bounds);
    EXPECT_FALSE(InkBox(frame, box, redOnly).isNull()) << "alarm: A";
    EXPECT_TRUE(InkBox(frame, box, greenOnly).isNull());
}

TEST_F(ScreenPainterTest, PressedButtonsAreHighlightedAndFramed) {
    UseGreenValuesRedHighlights();
    TScreenMarker button = PlacedObject(kFunctionButton, {0, 10, 200, 50});
    button.AttrInt1 = 0;
    m_objects = {Text("Cover", {0, 60, 200, 90}), button};
    struct Case {
        int pressed;
        QColor frame;
    } const cases[] = {{-1, QColor(0, 255, 0)}, {0, QColor(0, 255, 0)}, {1, kRed}};
    for (const Case& c : cases) {
        m_view.marks.pressed = c.pressed;
        const QImage frame = Paint();
        const MarkerRect& bounds = m_objects[1].Bounds;
        EXPECT_EQ(bounds, StyledBounds({0, 10, 200, 50}, "BUTTON", "", c.pressed == 1, true));
        EXPECT_EQ(frame.pixelColor(bounds.Left - 2, bounds.Top - 2), c.frame) << c.pressed;
        EXPECT_EQ(frame.pixelColor(bounds.Right + 1, bounds.Bottom + 1), c.frame) << c.pressed;
    }
}

TEST_F(ScreenPainterTest, EmptyTextsShowAFocusRectangleInEditModeOnly) {
    m_objects = {Text("", {100, 40, 160, 80})};
    const MarkerRect text = StyledBounds({100, 40, 160, 80}, "", "");
    QImage frame = Paint();
    EXPECT_EQ(m_objects[0].Bounds, text) << "run-time mode";
    EXPECT_EQ(InkBox(frame, frame.rect(), [](QColor c) { return c != kBlack; }), QRect());

    m_view.editMode = true;
    frame = Paint();
    const MarkerRect focus{text.Left - 10, text.Top - 10, text.Right + 10, text.Bottom + 10};
    EXPECT_EQ(m_objects[0].Bounds, focus);
    // Dotted: every second pixel of the border, those whose x + y is even.
    const QRect box = ToQRect(focus);
    EXPECT_EQ(InkBox(frame, frame.rect(), [](QColor c) { return c == kWhite; }), box);
    for (QPoint p : {box.topLeft(), box.bottomRight(), box.topRight(), box.bottomLeft()}) {
        const bool even = (p.x() + p.y()) % 2 == 0;
        EXPECT_EQ(frame.pixelColor(p), even ? kWhite : kBlack) << p.x() << "," << p.y();
    }
    EXPECT_EQ(frame.pixelColor(box.left() + 1, box.top() + 1), kBlack);
}

TEST_F(ScreenPainterTest, SymbolsAreStretchedAndTheFrontObjectCoversTheOther) {
    QImage halves = Filled({10, 10}, kRed);
    QPainter(&halves).fillRect(5, 0, 5, 10, kBlue);
    m_objects = {Symbol({100, 20, 140, 60}, Filled({3, 3}, kWhite)),
                 Symbol({20, 20, 120, 60}, halves)};
    const QImage frame = Paint();
    EXPECT_EQ(frame.pixelColor(20, 20), kRed);
    EXPECT_EQ(frame.pixelColor(69, 59), kRed);
    EXPECT_EQ(frame.pixelColor(70, 20), kBlue);
    EXPECT_EQ(frame.pixelColor(99, 59), kBlue);
    EXPECT_EQ(frame.pixelColor(100, 20), kWhite) << "index 0 lies on top";
    EXPECT_EQ(frame.pixelColor(139, 59), kWhite);
    EXPECT_EQ(frame.pixelColor(120, 60), kBlack);
    EXPECT_EQ(m_objects[1].Bounds, (MarkerRect{20, 20, 120, 60}));
}

TEST_F(ScreenPainterTest, SelectedSymbolsShowTheirFocusRectangleInEditMode) {
    struct Case {
        bool edit;
        ScreenMarks marks;
        bool focused;
    } const cases[] = {
        {true, {.dragged = 0}, true},     {true, {.resized = 0}, true},
        {true, {.popupTarget = 0}, true}, {true, {.hovered = 0}, true},
        {true, {.pressed = 0}, false},    {true, {.hovered = 1}, false},
        {false, {.hovered = 0}, false},
    };
    for (const Case& c : cases) {
        m_objects = {PlacedObject(kGraphicalSymbol, {40, 20, 80, 50})};
        m_view.editMode = c.edit;
        m_view.marks = c.marks;
        const QImage frame = Paint();
        const QRect ink = InkBox(frame, frame.rect(), [](QColor col) { return col != kBlack; });
        EXPECT_EQ(ink, c.focused ? QRect(40, 20, 40, 30) : QRect()) << c.edit;
        EXPECT_EQ(m_objects[0].Bounds, (MarkerRect{40, 20, 80, 50}));
    }
}

TEST_F(ScreenPainterTest, CodesAboveOneHundredDrawNothingAndKeepTheirBounds) {
    m_objects = {PlacedObject(101, {20, 20, 60, 60})};
    m_objects[0].Bounds = {1, 2, 3, 4};
    m_view.editMode = true;
    const QImage frame = Paint();
    EXPECT_EQ(m_objects[0].Bounds, (MarkerRect{1, 2, 3, 4}));
    EXPECT_EQ(InkBox(frame, frame.rect(), [](QColor c) { return c != kBlack; }), QRect());
}

TEST_F(ScreenPainterTest, FocusRectanglesFarOutsideTheFrameAreClipped) {
    QImage image = Filled({20, 20}, kBlack);
    QPainter painter(&image);
    DrawFocusRect(painter, {-2147483647, -5, 2147483647, 11});
    painter.end();
    EXPECT_EQ(InkBox(image, image.rect(), [](QColor c) { return c != kBlack; }),
              QRect(0, 10, 19, 1))
        << "x + y even on the bottom row";
}

TEST(EncodeBmp, WritesAStandardBmpOfTheImage) {
    const QImage image = Filled({33, 7}, QColor(1, 2, 3));
    const std::vector<uint8_t> bmp = EncodeBmp(image);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    const auto le32 = [&](size_t at) {
        return bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24;
    };
    EXPECT_EQ(le32(2), static_cast<int>(bmp.size()));
    EXPECT_EQ(le32(18), 33);
    EXPECT_EQ(le32(22), 7);
    EXPECT_EQ(bmp[28], 24) << "bits per pixel";
    EXPECT_EQ(bmp.size(), 54u + 7 * 100) << "rows of 33 × 3 bytes padded to 100";
    const size_t firstPixel = le32(10);
    EXPECT_EQ(bmp[firstPixel], 3) << "blue first";
    EXPECT_TRUE(EncodeBmp(QImage()).empty());
}

TEST(ScreenPaintArea, ShowsTheFrameAtItsSizeOrStretched) {
    QImage frame = Filled({50, 25}, kRed);
    ScreenPaintArea area;
    area.resize(100, 50);
    area.setPalette(QPalette(kBlue));
    area.setAutoFillBackground(true);
    area.ShowFrame(frame, false);
    QImage shown = area.grab().toImage();
    EXPECT_EQ(shown.pixelColor(49, 24), kRed);
    EXPECT_NE(shown.pixelColor(60, 30), kRed);
    area.ShowFrame(frame, true);
    shown = area.grab().toImage();
    EXPECT_EQ(shown.pixelColor(99, 49), kRed);
    EXPECT_EQ(shown.pixelColor(60, 30), kRed);
}

} // namespace
