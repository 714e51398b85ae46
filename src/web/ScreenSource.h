#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace halvane {

// The bytes of a BMP file, shared by every reader of one frame and never changed.
using SharedBmp = std::shared_ptr<const std::vector<uint8_t>>;

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
};

} // namespace halvane
