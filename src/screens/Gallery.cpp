#include "Gallery.h"

#include "DataRoot.h"
#include "PictureFile.h"
#include "ProfileStore.h"
#include "StoredText.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <ranges>

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

bool Exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string ErrorText(const std::filesystem::path& path, const std::error_code& ec) {
    return path.string() + ": " + ec.message();
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

std::optional<std::string> Gallery::AddCategory(std::string_view name) {
    const QString wanted =
        QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).trimmed();
    if (wanted.isEmpty())
        return "A category needs a name.";
    const int count = CountCategories();
    for (int i = 0; i < count; ++i) {
        if (QString::fromStdString(StoredTextToUtf8(Category(i).Name))
                .compare(wanted, Qt::CaseInsensitive) == 0)
            return "There is already a category called " + wanted.toStdString() + ".";
    }
    // A folder that another category holds is never shared.
    const std::string base = CategoryFolderName(name);
    std::string directory = base;
    for (int n = 2; std::ranges::any_of(std::views::iota(0, count),
                                        [&](int i) { return Category(i).Directory == directory; });
         ++n)
        directory = base + "-" + std::to_string(n);
    const std::filesystem::path folder = GalleryPath(directory);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return ErrorText(folder, ec);
    if (!m_index)
        m_index = std::make_unique<ProfileStore>(GalleryPath("gallery.cfg"));
    const std::string section = CategorySection(count);
    ProfileStore::Batch batch(*m_index);
    m_index->WriteString(section, "name", wanted.toStdString());
    m_index->WriteString(section, "image", "");
    m_index->WriteString(section, "directory", directory);
    if (!batch.Commit())
        return m_index->LastError();
    return std::nullopt;
}

Gallery::AddedPictures Gallery::AddPictures(int index,
                                            const std::vector<std::filesystem::path>& files) {
    AddedPictures added;
    const GalleryCategory category = Category(index);
    const std::filesystem::path folder = GalleryPath(category.Directory);
    std::error_code ec;
    if (!category.Directory.empty())
        std::filesystem::create_directories(folder, ec);
    if (category.Directory.empty() || ec) {
        added.refused.push_back(StoredTextToUtf8(category.Name) +
                                ": the category has no folder to copy pictures into");
        return added;
    }
    for (const std::filesystem::path& file : files) {
        const std::string fileName = file.filename().string();
        const std::filesystem::path target = folder / fileName;
        if (!IsPictureFileName(fileName))
            added.refused.push_back(fileName + ": not a .bmp, .wmf, .emf or .svg picture");
        else if (Exists(target))
            added.refused.push_back(fileName + ": the category already holds a file of that name");
        else if (!std::filesystem::copy_file(file, target, ec))
            added.refused.push_back(ErrorText(file, ec));
        else
            added.copied.push_back(fileName);
    }
    if (category.Image.empty() && !added.copied.empty())
        m_index->WriteString(CategorySection(index), "image",
                             category.Directory + "\\" + added.copied.front());
    return added;
}

std::string CategoryFolderName(std::string_view name) {
    std::string folder;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && std::isalnum(byte))
            folder += static_cast<char>(std::tolower(byte));
        else if (!folder.empty() && folder.back() != '-')
            folder += '-';
    }
    while (!folder.empty() && folder.back() == '-')
        folder.pop_back();
    return folder.empty() ? "category" : folder;
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
