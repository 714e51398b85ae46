#include "TempDir.h"

#include "ProfileStore.h"
#include "StyledText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace halvane;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(100, 100, 100);

// The bounding box of the pixels of an image that satisfy `ink`, within `area`.
QRect InkBox(const QImage& image, const QRect& area, const std::function<bool(QColor)>& ink) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (ink(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool NotBlack(QColor c) {
    return c != kBlack;
}

// Smoothed text on black blends the text colour with black: each pixel is a fraction of it.
bool IsShadeOf(QColor pixel, QColor colour) {
    const int top = std::max({colour.red(), colour.green(), colour.blue()});
    const double fraction =
        std::max({pixel.red(), pixel.green(), pixel.blue()}) / static_cast<double>(top);
    const auto near = [&](int p, int c) { return std::abs(p - fraction * c) <= 2.5; };
    return fraction <= 1.0 && near(pixel.red(), colour.red()) &&
           near(pixel.green(), colour.green()) && near(pixel.blue(), colour.blue());
}

// The text pixels in `area`, all shades of `colour`, the full colour among them.
void ExpectTextIn(const QImage& image, const QRect& area, QColor colour) {
    EXPECT_FALSE(InkBox(image, area, [&](QColor p) { return p == colour; }).isEmpty());
    EXPECT_EQ(InkBox(image, area, [&](QColor p) { return !IsShadeOf(p, colour); }), QRect());
}

QRect ToQRect(const MarkerRect& r) {
    return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
}

class StyledTextTest : public ::testing::Test {
protected:
    StyledTextTest() : m_store(m_dir / "config.cfg"), m_image(400, 200, QImage::Format_RGB32) {
        m_image.fill(kBlack);
    }

    MarkerRect Draw(int style, const MarkerRect& rect, const std::string& value,
                    const std::string& caption, bool highlighted = false, bool live = true,
                    bool framed = false) {
        QPainter painter(&m_image);
        return DrawStyledText(painter, m_store, style, rect, value, caption, highlighted, live,
                              framed);
    }

    // The font LoadStyleFont sets on an image of `dpi` dots per inch, with its cell height
    // (ascent + descent) there.
    std::pair<QFont, int> Loaded(int style, char prefix, int dpi = 96) {
        QImage image(10, 10, QImage::Format_RGB32);
        image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
        image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
        QPainter painter(&image);
        LoadStyleFont(painter, m_store, style, prefix, true);
        return {painter.font(), painter.fontMetrics().height()};
    }

    void Set(const std::string& key, int value) { m_store.WriteInteger("Style.0", key, value); }

    TempDir m_dir;
    ProfileStore m_store;
    QImage m_image;
};

// The metrics of 16-point Arial on the 96-dpi image: 21 pixels of character height.
QFontMetrics DefaultMetrics(const QImage& image) {
    QFont font("Arial");
    font.setPixelSize(21);
    return QFontMetrics(font, &image);
}

TEST_F(StyledTextTest, DefaultStyleCentresWhiteValueAndCaptionTwentyPixelsLower) {
    m_store.WriteString("Style.0", "Name", "Only a name");
    const QFontMetrics metrics = DefaultMetrics(m_image);
    for (int style : {0, 7}) { // 7 has no section: all defaults as well
        SCOPED_TRACE(style);
        m_image.fill(kBlack);
        const MarkerRect occupied = Draw(style, {50, 40, 351, 120}, "100 %", "Tank level");
        const int width = metrics.horizontalAdvance("100 %");
        const int x = 50 + (301 - width) / 2;
        EXPECT_EQ(occupied, (MarkerRect{x, 40, x + width, 40 + metrics.height()}));

        const QRect value = InkBox(m_image, {0, 0, 400, 60}, NotBlack);
        EXPECT_TRUE(ToQRect(occupied).adjusted(-1, 0, 1, 0).contains(value)) << value.x();
        ExpectTextIn(m_image, {0, 0, 400, 200}, kWhite);

        const QRect caption = InkBox(m_image, {0, 60, 400, 140}, NotBlack);
        const int captionWidth = metrics.horizontalAdvance("Tank level");
        EXPECT_NEAR(caption.center().x(), 50 + 301 / 2, 2);
        EXPECT_NEAR(caption.width(), captionWidth, 3);
        EXPECT_GE(caption.top(), 60);
        EXPECT_LT(caption.bottom(), 60 + metrics.height());
    }
}

TEST_F(StyledTextTest, AlignmentAndOffsetPlaceTheText) {
    const QFontMetrics metrics = DefaultMetrics(m_image);
    const int wide = metrics.horizontalAdvance("WWWWWW");
    const struct {
        int align;
        MarkerRect rect;
        int expectedLeft;
    } cases[] = {
        {1, {100, 10, 300, 50}, 300 - wide},
        {1, {100, 10, 120, 50}, 120 - wide}, // wider than the rectangle: starts left of it
        {2, {100, 10, 300, 50}, 100 + (200 - wide) / 2},
        {2, {100, 10, 121, 50}, 100 + (21 - wide) / 2}, // truncated toward zero
        {3, {100, 10, 300, 50}, 100},
        {9, {100, 10, 300, 50}, 100},
    };
    Set("M.HOffset", 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.align);
        Set("M.VAlign", c.align);
        const MarkerRect occupied = Draw(0, c.rect, "WWWWWW", "");
        EXPECT_EQ(occupied, (MarkerRect{c.expectedLeft, c.rect.Top + 7, c.expectedLeft + wide,
                                        c.rect.Top + 7 + metrics.height()}));
    }
}

TEST_F(StyledTextTest, CaptionHasItsOwnAlignmentAndOffset) {
    Set("D.VAlign", 3);
    Set("D.HOffset", 100);
    Draw(0, {50, 10, 350, 60}, "", "Pump");
    const QRect caption = InkBox(m_image, {0, 0, 400, 200}, NotBlack);
    EXPECT_NEAR(caption.left(), 50, 2);
    EXPECT_GE(caption.top(), 110);
    EXPECT_LT(caption.bottom(), 110 + DefaultMetrics(m_image).height());
}

TEST_F(StyledTextTest, HiddenCaptionIsNotDrawnAndTheFrameTakesTheValueColour) {
    for (const char* key : {"M.Font.Color.G", "M.Font.Color.B", "D.Font.Color.R", "D.Font.Color.B"})
        Set(key, 0);
    const struct {
        bool hide;
        QColor frame;
    } cases[] = {{true, QColor(255, 0, 0)}, {false, QColor(0, 255, 0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hide);
        m_store.WriteBool("Style.0", "HideDescription", c.hide);
        m_image.fill(kBlack);
        const MarkerRect v = Draw(0, {50, 40, 350, 120}, "42", "Caption", false, true, true);
        const QRect outer(QPoint(v.Left - 2, v.Top - 2), QPoint(v.Right + 1, v.Bottom + 1));
        for (int x = outer.left(); x <= outer.right(); ++x) {
            EXPECT_EQ(m_image.pixelColor(x, outer.top()), c.frame) << x;
            EXPECT_EQ(m_image.pixelColor(x, outer.bottom()), c.frame) << x;
        }
        for (int y = outer.top(); y <= outer.bottom(); ++y) {
            EXPECT_EQ(m_image.pixelColor(outer.left(), y), c.frame) << y;
            EXPECT_EQ(m_image.pixelColor(outer.right(), y), c.frame) << y;
        }
        EXPECT_EQ(m_image.pixelColor(outer.left() - 1, outer.top()), kBlack);
        EXPECT_EQ(m_image.pixelColor(outer.left() + 1, outer.top() + 1), kBlack);
        const QRect below(0, outer.bottom() + 1, 400, 200 - outer.bottom() - 1);
        EXPECT_EQ(InkBox(m_image, below, NotBlack).isEmpty(), c.hide);
    }
}

TEST_F(StyledTextTest, ColoursComeFromTheComponentOrAreGrey) {
    const std::pair<const char*, int> colours[] = {
        {"M.Font.Color.R", 256 + 10}, {"M.Font.Color.G", 511}, {"M.Font.Color.B", 256},
        {"A.Font.Color.B", 0},        {"D.Font.Color.R", 0},   {"D.Font.Color.G", 0},
    };
    for (const auto& [key, value] : colours)
        Set(key, value);
    const struct {
        bool highlighted;
        bool live;
        QColor value;
        QColor caption;
    } cases[] = {
        {false, true, QColor(10, 255, 0), QColor(0, 0, 255)}, // only the low 8 bits count
        {true, true, QColor(255, 255, 0), QColor(0, 0, 255)},
        {false, false, kGrey, kGrey},
        {true, false, kGrey, kGrey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.highlighted << c.live);
        m_image.fill(kBlack);
        Draw(0, {0, 10, 400, 50}, "88", "88", c.highlighted, c.live);
        ExpectTextIn(m_image, {0, 0, 400, 30}, c.value);
        ExpectTextIn(m_image, {0, 30, 400, 30}, c.caption);
    }
}

TEST_F(StyledTextTest, StylesAreReadAtEveryDrawing) {
    Draw(0, {0, 0, 400, 50}, "1", "");
    ExpectTextIn(m_image, m_image.rect(), kWhite);
    Set("M.Font.Color.B", 0);
    m_image.fill(kBlack);
    Draw(0, {0, 0, 400, 50}, "1", "");
    ExpectTextIn(m_image, m_image.rect(), QColor(255, 255, 0));
}

TEST_F(StyledTextTest, StoredHeightIsAPointSize) {
    const struct {
        int stored; // 0: the key is absent
        int dpi;
        int pixelSize; // character height, when the drawing height is negative
        int cellLow;   // cell height range (ascent + descent), when it is positive; whole
        int cellHigh;  // pixel font sizes cannot give every cell height of a face
    } cases[] = {
        {0, 96, 21, 0, 0},                          // 16 points by default
        {12, 96, 16, 0, 0},                         // -16: a character height
        {16, 192, 43, 0, 0},  {-13, 96, 0, 17, 17}, // +17.33: a cell height
        {-30, 96, 0, 39, 40}, {-8, 192, 0, 20, 21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.stored << " at " << c.dpi);
        if (c.stored != 0)
            Set("D.Height", c.stored);
        const auto [font, cellHeight] = Loaded(0, 'D', c.dpi);
        if (c.pixelSize != 0) {
            EXPECT_EQ(font.pixelSize(), c.pixelSize);
        } else {
            EXPECT_GE(cellHeight, c.cellLow);
            EXPECT_LE(cellHeight, c.cellHigh);
        }
    }
}

TEST_F(StyledTextTest, FontFaceAndStyleComeFromTheComponent) {
    m_store.WriteString("Style.0", "A.Name", "Courier New");
    m_store.WriteBool("Style.0", "A.Bold", true);
    m_store.WriteBool("Style.0", "A.Italic", true);
    const QFont arial = Loaded(0, 'M').first;
    EXPECT_EQ(QFontInfo(arial).family(), "Liberation Sans");
    EXPECT_FALSE(arial.bold());
    EXPECT_FALSE(arial.italic());
    const QFont courier = Loaded(0, 'A').first;
    EXPECT_EQ(QFontInfo(courier).family(), "Liberation Mono");
    EXPECT_TRUE(courier.bold());
    EXPECT_TRUE(courier.italic());
}

} // namespace
