#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The bytes of a BMP file, shared by every reader of one frame and never changed.
using SharedBmp = std::shared_ptr<const std::vector<uint8_t>>;

// A screen's size in pixels, as its picture is composed.
struct ScreenSize {
    int width = 0;
    int height = 0;
    bool operator==(const ScreenSize&) const = default;
};

// What a browser needs of a screen object that shows or writes a tag or goes to another
// screen, in the screen's pixels.
struct ScreenObjectInfo {
    std::string type; // the object's type name: "Numeric Display", "Preset Value Button", ...
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::optional<int> tag;      // the tag's number as users see it (index + 1)
    std::string action;          // "preset", "input", "goto" or empty
    std::optional<double> value; // the value a preset button writes
    std::optional<int> screen;   // the screen a "goto" shows, by position in the list
    bool confirm = false;        // the station asks before it writes
    bool operator==(const ScreenObjectInfo&) const = default;
};

// The screens as the web server sees them: their captions and the pictures of their last
// paints, by position in the screen list. Called from the server's request threads while
// the user-interface thread paints, so every call hands out a finished copy, never a frame
// that a paint is writing.
class ScreenSource {
public:
    virtual ~ScreenSource() = default;

    virtual size_t ScreenCount() const = 0;
    // The caption as stored; empty when there is no such screen.
    virtual std::string ScreenCaption(size_t index) const = 0;
    // The composed frame as the bytes of a BMP file, the same bytes for every call until the
    // screen paints again; null when there is no such screen or it has not been painted.
    virtual SharedBmp ScreenBmp(size_t index) const = 0;
    // The same frame as the bytes of a PNG file, likewise shared; null as for ScreenBmp. A
    // source that cannot encode PNG has none.
    virtual SharedBmp ScreenPng(size_t /*index*/) const { return nullptr; }
    // The size of the screen; nothing when there is no such screen.
    virtual std::optional<ScreenSize> ScreenSizeOf(size_t /*index*/) const { return std::nullopt; }
    // The objects of the screen that show or write a tag or go to another screen, in their
    // drawing order; empty for a screen without them or no such screen.
    virtual std::vector<ScreenObjectInfo> ScreenObjects(size_t /*index*/) const { return {}; }
};

} // namespace halvane
