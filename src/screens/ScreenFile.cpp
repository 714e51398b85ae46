#include "ScreenFile.h"

#include "NumberFormat.h"
#include "ProfileStore.h"
#include "SymbolGraphic.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>

namespace halvane {

namespace {

constexpr std::string_view kScreensSection = "Screens";

int32_t SaturateToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::string MarkerSection(int index) {
    return "Marker." + std::to_string(index);
}

std::string ScreenCfgIdKey(size_t index) {
    return "ScreenCfgId." + std::to_string(index);
}

// What was wrong with a screen file and what loading made of it.
void Report(const ProfileStore& file, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", file.FileName().string().c_str(), text.c_str());
}

void ReportScreensLeftOut(const ProfileStore& config) {
    const size_t leftOut = ScreensLeftOut(config).size();
    if (leftOut == 0)
        return;
    const size_t entries = kMaxScreens + leftOut;
    const std::string first = ScreenCfgIdKey(kMaxScreens);
    const std::string names = leftOut == 1
                                  ? first + " is not"
                                  : first + " to " + ScreenCfgIdKey(entries - 1) + " are not";
    Report(config, std::string(kScreensSection) + " lists " + std::to_string(entries) +
                       " screens: the first " + std::to_string(kMaxScreens) + " are loaded, " +
                       names);
}

// "Width" or "Height", held at the largest screen side.
int ScreenSide(const ProfileStore& file, std::string_view key, int fallback) {
    const int stored = file.ReadInteger(kScreenGeneralSection, key, fallback);
    if (stored <= kMaxScreenSide)
        return stored;
    Report(file, std::string(key) + "=" + std::to_string(stored) +
                     " exceeds the largest screen side, " + std::to_string(kMaxScreenSide) +
                     " pixels, and is taken as " + std::to_string(kMaxScreenSide));
    return kMaxScreenSide;
}

// "NoOfMarkers", at most kMaxScreenObjects, ending at the last "Marker.<i>" section there is.
int ObjectCount(const ProfileStore& file) {
    const int stated = file.ReadInteger(kScreenGeneralSection, "NoOfMarkers", 0);
    int count = std::clamp(stated, 0, kMaxScreenObjects);
    while (count > 0 && !file.SectionExists(MarkerSection(count - 1)))
        --count;
    const std::string loaded = ": " + std::to_string(count) + " objects loaded";
    const std::string noOfMarkers = "NoOfMarkers=" + std::to_string(stated);
    if (stated > kMaxScreenObjects)
        Report(file, noOfMarkers + " exceeds the " + std::to_string(kMaxScreenObjects) +
                         " objects a screen holds" + loaded);
    else if (count < stated)
        Report(file,
               noOfMarkers + " but " + MarkerSection(count) + " and later are missing" + loaded);
    return count;
}

// Puts the corners in order and moves an object that leaves the reference area to the
// origin, keeping its size.
void PlaceLoadedRect(TScreenMarker& object, int width, int height) {
    if (object.Bottom < object.Top)
        std::swap(object.Top, object.Bottom);
    if (object.Right < object.Left)
        std::swap(object.Left, object.Right);
    if (CornersInside(object.Rect(), width, height))
        return;
    object.Right = SaturateToInt32(int64_t{object.Right} - object.Left);
    object.Bottom = SaturateToInt32(int64_t{object.Bottom} - object.Top);
    object.Left = 0;
    object.Top = 0;
}

TScreenMarker LoadObject(const ProfileStore& file, int index, int width, int height) {
    const std::string section = MarkerSection(index);
    TScreenMarker object;
    const StoredPoint topLeft = ParseStoredPoint(file.ReadString(section, "TL", "0,0"));
    const StoredPoint bottomRight = ParseStoredPoint(file.ReadString(section, "BR", "0,0"));
    object.Left = topLeft.x;
    object.Top = topLeft.y;
    object.Right = bottomRight.x;
    object.Bottom = bottomRight.y;
    PlaceLoadedRect(object, width, height);
    object.Bounds = object.Rect();
    object.UseStyle = file.ReadInteger(section, "UseStyle", 0);
    object.Type = file.ReadInteger(section, "Type", 0);
    object.Channel = file.ReadInteger(section, "Channel", 0);
    object.AttrInt1 = file.ReadInteger(section, "AttrInt1", -1);
    object.AttrStr1 = file.ReadString(section, "AttrStr1", "");
    object.AttrDouble1 = file.ReadFloat(section, "AttrDouble1", 0.0);
    object.Confirm = file.ReadInteger(section, "Confirm", 0) != 0;
    object.States.Tag = file.ReadInteger(section, "SymbolTag", -1);
    object.States.Pictures = file.ReadString(section, "SymbolPictures", "");
    object.States.NoValue = file.ReadString(section, "SymbolNoValue", "");
    if (object.Type == kGraphicalSymbol)
        LoadSymbolGraphic(object, false);
    return object;
}

// A key of the symbol states is in the file only while it holds something.
void WriteKeyWhenSet(ProfileStore& file, const std::string& section, std::string_view key,
                     const std::string& value) {
    if (value.empty())
        file.DeleteKey(section, key);
    else
        file.WriteString(section, key, value);
}

void SaveObject(ProfileStore& file, int index, const TScreenMarker& object) {
    const std::string section = MarkerSection(index);
    file.WriteString(section, "TL", FormatStoredPoint(object.Left, object.Top));
    file.WriteString(section, "BR", FormatStoredPoint(object.Right, object.Bottom));
    file.WriteInteger(section, "UseStyle", object.UseStyle);
    file.WriteInteger(section, "Type", object.Type);
    file.WriteInteger(section, "Channel", object.Channel);
    file.WriteInteger(section, "AttrInt1", object.AttrInt1);
    file.WriteString(section, "AttrStr1", object.AttrStr1);
    file.WriteFloat(section, "AttrDouble1", object.AttrDouble1);
    // Written only when set, so that screens that never ask keep files without it.
    if (object.Confirm)
        file.WriteInteger(section, "Confirm", 1);
    else
        file.DeleteKey(section, "Confirm");
    WriteKeyWhenSet(file, section, "SymbolTag",
                    object.States.IsBound() ? std::to_string(object.States.Tag) : "");
    WriteKeyWhenSet(file, section, "SymbolPictures", object.States.Pictures);
    WriteKeyWhenSet(file, section, "SymbolNoValue", object.States.NoValue);
}

} // namespace

bool CornersInside(const MarkerRect& rect, int width, int height) {
    const auto inside = [width, height](int32_t x, int32_t y) {
        return x >= 0 && x < width && y >= 0 && y < height;
    };
    return inside(rect.Left, rect.Top) && inside(rect.Right, rect.Bottom);
}

StoredPoint ParseStoredPoint(std::string_view text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return {};
    return {SaturateToInt32(StrtolPrefix(text.substr(0, comma))),
            SaturateToInt32(StrtolPrefix(text.substr(comma + 1)))};
}

std::string FormatStoredPoint(int32_t x, int32_t y) {
    return std::to_string(x) + "," + std::to_string(y);
}

std::string ScreenFileName(int number) {
    return "cfg\\screen." + std::to_string(number) + ".cfg";
}

bool CreateScreenFile(const std::filesystem::path& path, int number) {
    std::error_code error;
    if (std::filesystem::exists(path, error))
        return true;
    std::ofstream file(path, std::ios::binary);
    file << ";Configuration file for screen: " << number << ' ';
    return static_cast<bool>(file.flush());
}

ObjectList LoadObjects(const ProfileStore& file) {
    const int count = ObjectCount(file);
    const int width = ScreenSide(file, "Width", kDefaultScreenWidth);
    const int height = ScreenSide(file, "Height", kDefaultScreenHeight);
    ObjectList objects;
    for (int i = 0; i < count; ++i)
        objects.push_back(LoadObject(file, i, width, height));
    return objects;
}

bool SaveObjects(ProfileStore& file, const ObjectList& objects) {
    ProfileStore::Batch batch(file);
    int index = 0;
    for (const TScreenMarker& object : objects)
        SaveObject(file, index++, object);
    file.WriteInteger(kScreenGeneralSection, "NoOfMarkers", index);
    return batch.Commit();
}

std::vector<int> ReadScreenList(const ProfileStore& config) {
    std::vector<int> numbers;
    while (numbers.size() < kMaxScreens) {
        const int number = config.ReadInteger(kScreensSection, ScreenCfgIdKey(numbers.size()), -1);
        if (number < 0)
            return numbers;
        numbers.push_back(number);
    }
    ReportScreensLeftOut(config);
    return numbers;
}

std::vector<int> ScreensLeftOut(const ProfileStore& config) {
    std::vector<int> numbers;
    for (size_t entry = kMaxScreens;; ++entry) {
        const int number = config.ReadInteger(kScreensSection, ScreenCfgIdKey(entry), -1);
        if (number < 0)
            return numbers;
        numbers.push_back(number);
    }
}

bool WriteScreenList(ProfileStore& config, const std::vector<int>& numbers) {
    ProfileStore::Batch batch(config);
    config.EraseSection(kScreensSection);
    for (size_t i = 0; i < numbers.size(); ++i)
        config.WriteInteger(kScreensSection, ScreenCfgIdKey(i), numbers[i]);
    return batch.Commit();
}

} // namespace halvane
