#include "Gallery.h"

#include "DataRoot.h"
#include "PictureFile.h"
#include "ProfileStore.h"
#include "StoredText.h"

#include <QString>

#include <algorithm>

namespace halvane {
namespace {

std::string CategorySection(int index) {
    return "category." + std::to_string(index);
}

bool NameLess(const std::string& a, const std::string& b) {
    const int order =
        QString::fromStdString(StoredTextToUtf8(a))
            .compare(QString::fromStdString(StoredTextToUtf8(b)), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

Gallery::Gallery() {
    const std::filesystem::path file = GalleryPath("gallery.cfg");
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec))
        m_index = std::make_unique<ProfileStore>(file);
}

Gallery::~Gallery() = default;
Gallery::Gallery(Gallery&&) noexcept = default;
Gallery& Gallery::operator=(Gallery&&) noexcept = default;

int Gallery::CountCategories() const {
    int count = 0;
    while (CategoryExists(count))
        ++count;
    return count;
}

bool Gallery::CategoryExists(int index) const {
    return m_index && m_index->SectionExists(CategorySection(index));
}

GalleryCategory Gallery::Category(int index) const {
    if (!m_index)
        return {};
    const std::string section = CategorySection(index);
    return {m_index->ReadString(section, "name", ""), m_index->ReadString(section, "image", ""),
            m_index->ReadString(section, "directory", "")};
}

std::filesystem::path GalleryPath(std::string_view relative) {
    return ResolveDataPath("gallery\\" + std::string(relative));
}

std::vector<std::string> ListCategoryPictures(const GalleryCategory& category,
                                              const std::function<void()>& afterEntry) {
    std::vector<std::string> names;
    if (category.Directory.empty())
        return names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(GalleryPath(category.Directory), ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code entryError;
        if (!it->is_directory(entryError) && IsPictureFileName(name))
            names.push_back(name);
        if (afterEntry)
            afterEntry();
    }
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

std::filesystem::path CategoryPicturePath(const GalleryCategory& category,
                                          std::string_view fileName) {
    return GalleryPath(category.Directory) / std::string(fileName);
}

} // namespace halvane
