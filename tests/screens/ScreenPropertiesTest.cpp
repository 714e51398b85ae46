// The rules behind the screen properties dialog: what it shows of a screen file, what
// saving writes back, colours, and the background pictures it accepts.
#include "ScreenProperties.h"

#include "PictureBytes.h"
#include "ScreenTestSupport.h"
#include "StoredText.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

class ScreenPropertiesTest : public ScreenDataRootTest {
protected:
    ProfileStore& File(const std::string& content) {
        WriteText(CfgFile("screen.5.cfg"), content);
        m_file = std::make_unique<ProfileStore>(CfgFile("screen.5.cfg"));
        return *m_file;
    }

    std::unique_ptr<ProfileStore> m_file;
};

TEST(ScreenProperties, ColoursAreStoredAsBlueGreenRed) {
    const struct {
        uint32_t stored;
        QColor colour;
    } cases[] = {
        {0x000000, QColor(0, 0, 0)},   {0x0000FF, QColor(255, 0, 0)},
        {0xFF0000, QColor(0, 0, 255)}, {0x123456, QColor(0x56, 0x34, 0x12)},
        {0x80000005, QColor(5, 0, 0)}, // the bits above the colour do not count
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColourFromStored(c.stored), c.colour) << std::hex << c.stored;
        EXPECT_EQ(ColourToStore(c.colour), c.stored & 0xFFFFFF) << std::hex << c.stored;
    }
}

TEST(ScreenProperties, OnlyPictureSidesLongerThanTenPixelsSizeTheScreen) {
    const QSize screen(640, 480);
    const struct {
        QSize picture;
        QSize client;
    } cases[] = {
        {{800, 600}, {800, 600}}, {{8, 600}, {640, 600}}, {{10, 11}, {640, 11}},
        {{11, 10}, {11, 480}},    {{0, 0}, {640, 480}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClientSizeForBackground(screen, c.picture), c.client) << c.picture.width();
}

TEST_F(ScreenPropertiesTest, BackgroundFilesAreFoundAndOnlyCompleteBitmapsLoad) {
    EXPECT_EQ(BackgroundPicturePath(""), std::filesystem::path());
    EXPECT_EQ(BackgroundPicturePath("plant.bmp"), CfgFile("plant.bmp"));
    EXPECT_EQ(BackgroundPicturePath("pics\\plant.bmp"), m_root / "cfg/pics/plant.bmp");
    EXPECT_EQ(BackgroundPicturePath("/srv/plant.bmp"), std::filesystem::path("/srv/plant.bmp"));

    const QByteArray bitmap = picture_bytes::SolidBmp(30, 20, Qt::green);
    WriteText(CfgFile("plant.bmp"), bitmap.toStdString());
    WriteText(CfgFile("plant.txt"), bitmap.toStdString()); // the name does not matter
    WriteText(CfgFile("short.bmp"), bitmap.left(bitmap.size() - 10).toStdString());
    WriteText(CfgFile("text.bmp"), "not a bitmap");
    std::filesystem::create_directories(CfgFile("folder.bmp"));

    for (const char* name : {"plant.bmp", "plant.txt"}) {
        const std::optional<QImage> picture = LoadBackgroundPicture(CfgFile(name));
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(picture->size(), QSize(30, 20));
        EXPECT_EQ(picture->pixelColor(3, 3), QColor(Qt::green));
    }
    for (const char* name : {"short.bmp", "text.bmp", "folder.bmp", "missing.bmp"})
        EXPECT_FALSE(LoadBackgroundPicture(CfgFile(name))) << name;
    EXPECT_FALSE(LoadBackgroundPicture({}));
}

// Errors of the file system are said on stderr, never thrown: the screen draws without
// its background.
TEST_F(ScreenPropertiesTest, BackgroundReadErrorsAreReported) {
    std::filesystem::create_directories(CfgFile("folder.bmp"));
    const struct {
        std::filesystem::path file;
        const char* reason;
    } cases[] = {
        {"/proc/self/mem", "Input/output error"},
        {CfgFile("folder.bmp"), "Is a directory"},
        {CfgFile("missing.bmp"), "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::optional<QImage> picture;
        const std::string said = StderrOf([&] { picture = LoadBackgroundPicture(c.file); });
        EXPECT_FALSE(picture) << c.file;
        EXPECT_EQ(said, c.file.string() + ": cannot read the picture: " + c.reason + "\n");
    }
}

// Stored bytes the dialog cannot show as they are (a Windows-1252 path, a colour that is
// no number, a hexadecimal one) stay in the file while the user leaves them alone.
TEST_F(ScreenPropertiesTest, SavingKeepsWhatWasNotChanged) {
    const struct {
        const char* bitmap;
        const char* colour;
        uint32_t shownColour;
    } cases[] = {
        {"caf\xE9.bmp", "red", 0},
        {"", "$0000FF80", 0x0000FF80 & 0xFFFFFF},
        {"back.bmp", "", 0},
    };
    for (const auto& c : cases) {
        ProfileStore& file =
            File(std::string("[General]\nBackground.Bitmap=") + c.bitmap +
                 (*c.colour ? std::string("\nBackground.Solid.Color=") + c.colour : "") + "\n");
        const ScreenPropertiesValues shown = LoadScreenProperties(file, "Tank \xB0", {300, 200});
        EXPECT_EQ(shown, (ScreenPropertiesValues{"Tank \xC2\xB0", StoredTextToUtf8(c.bitmap),
                                                 c.shownColour, 300, 200}));

        ASSERT_TRUE(SaveScreenProperties(file, shown, {7, 8}, {310, 210}));
        const ProfileStore saved(CfgFile("screen.5.cfg"));
        EXPECT_EQ(saved.ReadString("General", "Background.Bitmap", "?"), c.bitmap);
        EXPECT_EQ(saved.ReadString("General", "Background.Solid.Color", "?"),
                  *c.colour ? c.colour : "0");
        EXPECT_EQ(saved.ReadString("General", "Left", "") + saved.ReadString("General", "Top", "") +
                      saved.ReadString("General", "Width", "") +
                      saved.ReadString("General", "Height", ""),
                  "78310210");
    }
}

TEST_F(ScreenPropertiesTest, ChangedValuesAreWrittenAsTheDialogShowsThem) {
    ProfileStore& file =
        File("[General]\nBackground.Bitmap=caf\xE9.bmp\nBackground.Solid.Color=red\n");
    ScreenPropertiesValues values = LoadScreenProperties(file, "Tank", {300, 200});
    values.bitmap = "/pics/\xC3\xBC.bmp";
    values.colour = 0x00FF00;
    ASSERT_TRUE(SaveScreenProperties(file, values, {0, 0}, {300, 200}));
    const ProfileStore saved(CfgFile("screen.5.cfg"));
    EXPECT_EQ(saved.ReadString("General", "Background.Bitmap", ""), "/pics/\xC3\xBC.bmp");
    EXPECT_EQ(saved.ReadInteger("General", "Background.Solid.Color", -1), 0x00FF00);

    values.bitmap.clear();
    ASSERT_TRUE(SaveScreenProperties(file, values, {0, 0}, {300, 200}));
    EXPECT_EQ(ProfileStore(CfgFile("screen.5.cfg")).ReadString("General", "Background.Bitmap", "?"),
              "");
}

} // namespace
