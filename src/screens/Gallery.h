#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;

// One category of the symbol gallery: section "category." + index of gallery\gallery.cfg.
// Paths are relative to the gallery folder, as stored.
struct GalleryCategory {
    std::string Name;
    std::string Image;
    std::string Directory;
    bool operator==(const GalleryCategory&) const = default;
};

// The symbol gallery's index, gallery\gallery.cfg under the data root, opened when the
// gallery is created; a file created later is not seen. Categories are read from the file
// at every call, so categories added to an opened index show.
class Gallery final {
public:
    Gallery();
    ~Gallery();
    Gallery(Gallery&&) noexcept;
    Gallery& operator=(Gallery&&) noexcept;

    // False when gallery.cfg did not exist at creation: the gallery is then empty.
    bool HasIndex() const { return m_index != nullptr; }
    // The number of consecutive "category.N" sections from 0.
    int CountCategories() const;
    bool CategoryExists(int index) const;
    // The keys of a category; empty texts for a category that does not exist.
    GalleryCategory Category(int index) const;

    // Appends a category called `name` (UTF-8) whose pictures live in a new folder of the
    // gallery named after it, making gallery.cfg and the folders when they are missing.
    // The reason when refused: an empty name, a name in use, a folder or index not written.
    std::optional<std::string> AddCategory(std::string_view name);

    // What adding pictures to a category did.
    struct AddedPictures {
        std::vector<std::string> copied;  // file names now in the category's folder
        std::vector<std::string> refused; // one line per file left out, with the reason
    };
    // Copies picture files into the folder of category `index`. A file that is not a
    // picture, or whose name the category already holds, is left out. A category without
    // a tile picture takes the first one copied.
    AddedPictures AddPictures(int index, const std::vector<std::filesystem::path>& files);

private:
    std::unique_ptr<ProfileStore> m_index;
};

// A path relative to the gallery folder ("pumps\pump.bmp") under the data root.
std::filesystem::path GalleryPath(std::string_view relative);

// The picture files of a category's folder: names ending exactly in ".bmp", ".wmf", ".emf"
// or ".svg", folders skipped, sorted by name without regard to case. Empty when the category
// has no directory or its folder does not exist. `afterEntry` runs after each folder entry.
std::vector<std::string> ListCategoryPictures(const GalleryCategory& category,
                                              const std::function<void()>& afterEntry = {});

// The folder name a new category called `name` gets: its letters and digits in lower case,
// every other run of characters one "-"; "category" when nothing is left.
std::string CategoryFolderName(std::string_view name);

// The full path of picture `fileName` of a category.
std::filesystem::path CategoryPicturePath(const GalleryCategory& category,
                                          std::string_view fileName);

} // namespace halvane
