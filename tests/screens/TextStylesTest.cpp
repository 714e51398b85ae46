#include "TextStyles.h"

#include "ScreenTestSupport.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace halvane;

namespace {

// An image of `dpi` dots per inch, the device the font dialog's heights refer to.
QImage Device(int dpi) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    return image;
}

class TextStylesTest : public ScreenDataRootTest {};

TEST_F(TextStylesTest, StylesListTheirNameOrTheirNumberFromOne) {
    EXPECT_TRUE(StyleListNames(m_config).empty());
    m_config.WriteString("Style.0", "Name", "Big");
    m_config.WriteString("Style.1", "M.Name", "Arial"); // exists without a name
    m_config.WriteString("Style.2", "Name", "Gro\xDF"); // Windows-1252
    m_config.WriteString("Style.4", "Name", "After a gap");
    EXPECT_EQ(StyleListNames(m_config), (std::vector<std::string>{"Big", "Style 2", "Groß"}));
    EXPECT_EQ(StyleDisplayName(m_config, 4), "After a gap");
    EXPECT_EQ(StyleDisplayName(m_config, 3), "Style 4");
}

TEST_F(TextStylesTest, AddedStyleTakesTheFirstAbsentNumberWithItsNameOnly) {
    const struct {
        std::vector<int> existing;
        int added;
    } cases[] = {
        {{}, 0}, {{0, 1, 2, 3}, 4}, {{0, 1, 3}, 2}, // a gap ends the styles: the new one fills it
    };
    for (const auto& c : cases) {
        TempDir dir;
        ProfileStore config(dir / "config.cfg");
        for (int n : c.existing)
            config.WriteInteger(StyleSection(n), "M.Height", 12); // no name: exists all the same
        EXPECT_EQ(AddStyle(config, "Tank"), c.added);
        EXPECT_EQ(config.ReadKeys(StyleSection(c.added)), std::vector<std::string>{"Name"});
        EXPECT_EQ(config.ReadString(StyleSection(c.added), "Name", ""), "Tank");
    }

    std::filesystem::create_directories(m_root / "cfg/folder.cfg");
    ProfileStore unreadable(m_root / "cfg/folder.cfg");
    EXPECT_EQ(AddStyle(unreadable, "Tank"), std::nullopt);
}

TEST_F(TextStylesTest, KeysThatAreAbsentOrNotNumbersReadAsTheEditorsDefaults) {
    const struct {
        const char* key;
        const char* stored; // nullptr: absent
        StyleFont font;
        StyleColour colour;
        int alignment;
        int offset;
    } cases[] = {
        {"D.Name", nullptr, {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.Name", "Courier New", {"Courier New", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.Height", "-13", {"Arial", -13, false, false}, {255, 255, 255}, 2, 0},
        {"D.Height", "big", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.Bold", "1", {"Arial", 10, true, false}, {255, 255, 255}, 2, 0},
        {"D.Italic", "yes", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.Font.Color.R", "red", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.Font.Color.G", "300", {"Arial", 10, false, false}, {255, 44, 255}, 2, 0},
        {"D.Font.Color.B", "-1", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.VAlign", "left", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.VAlign", "7", {"Arial", 10, false, false}, {255, 255, 255}, 7, 0},
        {"D.HOffset", "1.5", {"Arial", 10, false, false}, {255, 255, 255}, 2, 0},
        {"D.HOffset", "-4", {"Arial", 10, false, false}, {255, 255, 255}, 2, -4},
    };
    for (const auto& c : cases) {
        m_config.EraseSection("Style.0");
        if (c.stored != nullptr)
            m_config.WriteString("Style.0", c.key, c.stored);
        SCOPED_TRACE(std::string(c.key) + "=" + (c.stored != nullptr ? c.stored : "(absent)"));
        EXPECT_EQ(ReadStyleFont(m_config, 0, 'D'), c.font);
        EXPECT_EQ(ReadStyleColour(m_config, 0, 'D'), c.colour);
        EXPECT_EQ(ReadStyleAlignment(m_config, 0, 'D'), c.alignment);
        EXPECT_EQ(ReadStyleOffset(m_config, 0, 'D'), c.offset);
    }
}

TEST_F(TextStylesTest, WritingAFontOrAColourKeepsEveryOtherKey) {
    const std::string before = "[Style.0]\r\n"
                               "; colours set by hand\r\n"
                               "M.Font.Color.R=red\r\n"
                               "M.Height=huge\r\n"
                               "A.Name=Courier New\r\n";
    WriteText(CfgFile("config.cfg"), before);
    ASSERT_TRUE(WriteStyleFont(m_config, 0, 'M', {"Liberation Serif", -32, true, false}));
    ASSERT_TRUE(WriteStyleColour(m_config, 0, 'D', {1, 2, 3}));
    EXPECT_EQ(ReadText(CfgFile("config.cfg")), "[Style.0]\r\n"
                                               "; colours set by hand\r\n"
                                               "M.Font.Color.R=red\r\n"
                                               "M.Height=-32\r\n"
                                               "A.Name=Courier New\r\n"
                                               "M.Name=Liberation Serif\r\n"
                                               "M.Bold=1\r\n"
                                               "M.Italic=0\r\n"
                                               "D.Font.Color.R=1\r\n"
                                               "D.Font.Color.G=2\r\n"
                                               "D.Font.Color.B=3\r\n");
}

// The font dialog takes the stored height directly as a pixel height (negative: the
// character height, positive: the cell height) and gives back a character height.
TEST_F(TextStylesTest, FontDialogHeightsMeetTheStoredPlatformHeight) {
    const struct {
        int dpi;
        int stored;
        double points; // what the dialog shows
    } cases[] = {
        {96, -13, 9.75},
        {96, -32, 24},
        {120, -20, 12},
    };
    for (const auto& c : cases) {
        const QImage device = Device(c.dpi);
        const StyleFont stored{"Arial", c.stored, true, false};
        const QFont font = DialogFont(stored, device);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), c.points) << c.stored;
        EXPECT_TRUE(font.bold());
        EXPECT_EQ(ChosenStyleFont(font, stored, device), stored) << c.stored;
    }

    // A positive height is a cell: the largest character height whose cell fits.
    const QImage device = Device(96);
    const QFont cell = DialogFont({"Arial", 17, false, false}, device);
    QFont pixels = cell;
    pixels.setPixelSize(static_cast<int>(std::lround(cell.pointSizeF() * 96 / 72)));
    EXPECT_LE(QFontMetrics(pixels, &device).height(), 17);
    pixels.setPixelSize(pixels.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(pixels, &device).height(), 17);
}

TEST_F(TextStylesTest, AbsurdStoredHeightsGiveAFontAllTheSame) {
    const QImage device = Device(96);
    for (int height : {INT_MIN, -100000, 100000, INT_MAX}) {
        const QFont font = DialogFont({"Arial", height, false, false}, device);
        EXPECT_GT(font.pointSizeF(), 0) << height;
        EXPECT_LE(font.pointSizeF(), 4096) << height;
    }
}

TEST_F(TextStylesTest, ChosenFontKeepsTheStoredBytesOfAnUnchangedFace) {
    const QImage device = Device(96);
    const StyleFont shown{"Caf\xE9", -13, false, false}; // Windows-1252
    QFont chosen("Café");
    chosen.setPixelSize(20);
    chosen.setItalic(true);
    EXPECT_EQ(ChosenStyleFont(chosen, shown, device), (StyleFont{"Caf\xE9", -20, false, true}));
    chosen.setFamily("Liberation Serif");
    EXPECT_EQ(ChosenStyleFont(chosen, shown, device).face, "Liberation Serif");
}

} // namespace
