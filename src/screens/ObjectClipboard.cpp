#include "ObjectClipboard.h"

#include "ProfileStore.h"
#include "ScreenFile.h"

#include <QTemporaryDir>

#include <fstream>
#include <iterator>

namespace halvane {

namespace {

constexpr std::string_view kScreenKey = "Screen";

std::filesystem::path KeysFile(const QTemporaryDir& folder) {
    return std::filesystem::path(folder.path().toStdString()) / "objects.cfg";
}

} // namespace

// The keys are written and read by the screen file's own code, so that they hold whatever
// a screen file holds for an object; a temporary file carries them.
std::string ObjectsToKeys(const ObjectList& objects, const std::vector<int>& indices, int screen) {
    const QTemporaryDir folder;
    if (!folder.isValid())
        return {};
    ObjectList copied;
    for (const int index : indices)
        copied.push_back(objects[static_cast<size_t>(index)]);
    {
        ProfileStore file(KeysFile(folder));
        ProfileStore::Batch batch(file);
        file.WriteInteger(kScreenGeneralSection, kScreenKey, screen);
        // Nothing is moved to the origin on the way in: the paste keeps objects inside.
        file.WriteInteger(kScreenGeneralSection, "Width", kMaxScreenSide);
        file.WriteInteger(kScreenGeneralSection, "Height", kMaxScreenSide);
        SaveObjects(file, copied);
    }
    std::ifstream in(KeysFile(folder), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CopiedObjects ObjectsFromKeys(std::string_view keys) {
    const QTemporaryDir folder;
    if (!folder.isValid())
        return {};
    {
        std::ofstream out(KeysFile(folder), std::ios::binary);
        out.write(keys.data(), static_cast<std::streamsize>(keys.size()));
    }
    const ProfileStore file(KeysFile(folder));
    return {file.ReadInteger(kScreenGeneralSection, kScreenKey, -1), LoadObjects(file)};
}

} // namespace halvane
