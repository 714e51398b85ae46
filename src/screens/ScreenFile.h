#pragma once

#include "ObjectList.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;

inline constexpr int kDefaultScreenWidth = 640;
inline constexpr int kDefaultScreenHeight = 480;
inline constexpr std::string_view kDefaultScreenTitle = "Screen";
inline constexpr std::string_view kScreenGeneralSection = "General";
// The most objects one screen holds: far more than anyone places on a screen, and few
// enough that loading its file and painting it every second stay quick.
inline constexpr int kMaxScreenObjects = 10000;
// The most screens the station opens: each is a window with its own frames, and 2,000 of
// them took 18 s and 2.45 GB at start.
inline constexpr size_t kMaxScreens = 1000;
// The largest screen side in pixels. Every display in use fits, 8K UHD (7680 × 4320)
// either way round, and one frame of the largest screen stays within 256 MiB.
inline constexpr int kMaxScreenSide = 8192;

// One corner of an object rectangle as the screen file stores it: "x,y".
struct StoredPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const StoredPoint&) const = default;
};

// Whether both corners of `rect` lie inside a screen of `width` × `height` pixels (0 <= x <
// width, 0 <= y < height): loading leaves such an object where it is.
bool CornersInside(const MarkerRect& rect, int width, int height);

// Reads "x,y" as atol reads each number (leading blanks, a sign, digits up to the first
// other character, 0 without digits; saturated to 32 bits). Without a comma: (0, 0).
StoredPoint ParseStoredPoint(std::string_view text);
std::string FormatStoredPoint(int32_t x, int32_t y);

// "cfg\screen.<number>.cfg", relative to the data root.
std::string ScreenFileName(int number);

// Creates a missing screen file holding only its comment line (no line break); an
// existing file is left alone. False when the file could not be created.
bool CreateScreenFile(const std::filesystem::path& path, int number);

// The objects of "Marker.0" .. "Marker.<NoOfMarkers - 1>", front first. Corners are put
// in order, an object with a corner outside the screen's Width × Height is moved to the
// origin keeping its size, and graphical symbols load their pictures without resizing.
// A damaged file costs no more than the largest screen: the list ends at the last
// "Marker.<i>" section there is (missing ones before it load with the defaults) and after
// kMaxScreenObjects objects, Width and Height are held at kMaxScreenSide, and each of these
// is said on stderr.
ObjectList LoadObjects(const ProfileStore& file);

// Writes every object to "Marker.<position>" and then "NoOfMarkers", in one file write;
// sections of an earlier, longer list stay. False when the file could not be written.
bool SaveObjects(ProfileStore& file, const ObjectList& objects);

// The screen file numbers of the "Screens" section of config.cfg, in display order, up
// to the first absent or negative entry and at most kMaxScreens; the entries beyond those
// are named on stderr.
std::vector<int> ReadScreenList(const ProfileStore& config);

// The screen file numbers of the "Screens" entries that ReadScreenList leaves out (after the
// first kMaxScreens, up to the first absent or negative entry).
std::vector<int> ScreensLeftOut(const ProfileStore& config);

// Replaces the "Screens" section with `numbers` in order, in one file write.
bool WriteScreenList(ProfileStore& config, const std::vector<int>& numbers);

} // namespace halvane
