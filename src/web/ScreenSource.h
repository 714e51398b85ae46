#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

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
    // The composed frame as the bytes of a BMP file; nothing when there is no such screen.
    virtual std::optional<std::vector<uint8_t>> ScreenBmp(size_t index) const = 0;
};

} // namespace halvane
