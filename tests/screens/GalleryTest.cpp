#include "TempDir.h"

#include "DataRoot.h"
#include "Gallery.h"
#include "PictureFile.h"

#include <QString>

#include <gtest/gtest.h>

using namespace halvane;

namespace {

using Names = std::vector<std::string>;

class GalleryTest : public ::testing::Test {
protected:
    GalleryTest() { SetDataRoot(m_root.Path().string()); }

    void Put(const std::string& relative, const std::string& content = "x") {
        WriteText(m_root / ("gallery/" + relative), content);
    }

    TempDir m_root;
};

TEST_F(GalleryTest, CategoriesAreReadUpToTheFirstMissingNumber) {
    Put("gallery.cfg", "[category.0]\nname=Pumps\nimage=pumps\\pump.bmp\ndirectory=pumps\n"
                       "[Category.1]\nName=Tanks\n"
                       "[category.3]\nname=Valves\n");
    const Gallery gallery;
    EXPECT_TRUE(gallery.HasIndex());
    EXPECT_EQ(gallery.CountCategories(), 2);
    EXPECT_EQ(gallery.Category(0), (GalleryCategory{"Pumps", "pumps\\pump.bmp", "pumps"}));
    EXPECT_EQ(gallery.Category(1), (GalleryCategory{"Tanks", "", ""}));
    EXPECT_TRUE(gallery.CategoryExists(3));
    EXPECT_FALSE(gallery.CategoryExists(2));
    EXPECT_EQ(gallery.Category(2), GalleryCategory{});
    EXPECT_EQ(GalleryPath(gallery.Category(0).Image), m_root.Path() / "gallery/pumps/pump.bmp");

    Put("gallery.cfg",
        "[category.0]\nname=Pumps\n[category.1]\nname=Tanks\n[category.2]\nname=Added\n"
        "[category.3]\nname=Valves\n");
    EXPECT_EQ(gallery.CountCategories(), 4);
}

TEST_F(GalleryTest, AnIndexCreatedLaterIsNotSeen) {
    const Gallery gallery;
    Put("gallery.cfg", "[category.0]\nname=Pumps\n");
    EXPECT_FALSE(gallery.HasIndex());
    EXPECT_EQ(gallery.CountCategories(), 0);
    EXPECT_EQ(gallery.Category(0), GalleryCategory{});
    EXPECT_EQ(Gallery().CountCategories(), 1);
}

TEST_F(GalleryTest, CategoryFoldersListTheirPictureFilesByName) {
    for (const char* name : {"Pump.bmp", "valve.emf", "Notes.txt", "TANK.WMF", "b.wmf", "a.BMP",
                             "Cooler.wmf", "bmp", "archive.emf.bak"})
        Put(std::string("mixed/") + name);
    std::filesystem::create_directories(m_root / "gallery/mixed/folder.bmp");
    int entries = 0;
    const GalleryCategory mixed{"Mixed", "", "mixed"};
    EXPECT_EQ(ListCategoryPictures(mixed, [&] { ++entries; }),
              (Names{"b.wmf", "Cooler.wmf", "Pump.bmp", "valve.emf"}));
    EXPECT_EQ(entries, 10);
    EXPECT_EQ(CategoryPicturePath(mixed, "Pump.bmp"), m_root.Path() / "gallery/mixed/Pump.bmp");

    EXPECT_EQ(ListCategoryPictures({"No folder", "", ""}), Names{});
    EXPECT_EQ(ListCategoryPictures({"Missing", "", "absent"}), Names{});
}

// The demo project's gallery: every category and picture it lists loads.
// Each new category gets a folder of its own, even when names make the same folder name.
TEST_F(GalleryTest, NewCategoriesGetFoldersOfTheirOwn) {
    Put("gallery.cfg", "[category.0]\nname=Pumps\ndirectory=pumps\n");
    Gallery gallery;
    const struct {
        const char* name;
        const char* directory;
    } cases[] = {
        {"Heat Exchangers", "heat-exchangers"},
        {"  Pumps & Fans! ", "pumps-fans"},
        {"PUMPS", nullptr},    // the name is in use
        {"Pumps!", "pumps-2"}, // "pumps" is held by Pumps
        {"Ölpumpen", "lpumpen"},
        {"***", "category"},
    };
    int count = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> refused = gallery.AddCategory(c.name);
        EXPECT_EQ(refused.has_value(), c.directory == nullptr);
        if (refused)
            continue;
        const GalleryCategory added = Gallery().Category(count++);
        EXPECT_EQ(added,
                  (GalleryCategory{QString(c.name).trimmed().toStdString(), "", c.directory}));
        EXPECT_TRUE(std::filesystem::is_directory(m_root / "gallery" / c.directory));
    }
    EXPECT_EQ(Gallery().CountCategories(), count);
}

TEST(DemoGalleryTest, EveryPictureLoads) {
    SetDataRoot(std::filesystem::path(HALVANE_DEMO_GALLERY).parent_path().string());
    const Gallery gallery;
    ASSERT_EQ(gallery.CountCategories(), 3);
    int pictures = 0;
    for (int i = 0; i < gallery.CountCategories(); ++i) {
        const GalleryCategory category = gallery.Category(i);
        SCOPED_TRACE(category.Name);
        EXPECT_TRUE(LoadPictureFile(GalleryPath(category.Image)).has_value());
        for (const std::string& name : ListCategoryPictures(category)) {
            SCOPED_TRACE(name);
            const auto picture = LoadPictureFile(CategoryPicturePath(category, name));
            ASSERT_TRUE(picture.has_value());
            EXPECT_FALSE(picture->Size().isEmpty());
            ++pictures;
        }
    }
    EXPECT_GE(pictures, 8);
}

} // namespace
