#pragma once

#include "SymbolPicture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvane {

struct TDataChannel;
struct TScreenMarker;

// One "value=picture" pair of a symbol that changes with a tag: the picture path is
// relative to the gallery folder, as a symbol's own picture is.
struct SymbolValuePicture {
    int64_t Value = 0;
    std::string Picture;
    bool operator==(const SymbolValuePicture&) const = default;
};

// The pairs of a "value=picture;value=picture" text, or why it was refused.
struct ParsedSymbolPictures {
    std::vector<SymbolValuePicture> Pairs;
    std::optional<std::string> Error;
};

// Reads pairs separated by ";": a whole number, "=", a picture path. Blanks around values,
// paths and pairs are ignored and so are empty pairs. Refused, with the pair named: no
// "=", a value that is not a whole number, an empty path, a value given twice.
ParsedSymbolPictures ParseSymbolPictures(std::string_view text);
// The text ParseSymbolPictures reads back as `pairs`.
std::string FormatSymbolPictures(const std::vector<SymbolValuePicture>& pairs);

// A graphical symbol that shows a picture per value of a tag. Without a tag the symbol
// shows its own picture only.
struct SymbolStates {
    int32_t Tag = -1;     // tag index; -1 for none
    std::string Pictures; // the pairs, as stored
    std::string NoValue;  // shown when the tag has no valid value or no pair matches
    // The pictures loaded with the object, never at a paint: one per pair, then the
    // no-value picture.
    std::vector<std::pair<int64_t, std::optional<SymbolPicture>>> Loaded;
    std::optional<SymbolPicture> NoValueLoaded;

    bool IsBound() const { return Tag >= 0; }
};

// The picture a graphical symbol shows now: with a tag, the picture of the tag's value
// rounded to the nearest whole number; the no-value picture when the tag is out of range,
// not valid or no pair matches, and the symbol's own picture when it has no no-value
// picture. Null for nothing to draw.
const SymbolPicture* CurrentSymbolPicture(const TScreenMarker& object,
                                          std::span<const TDataChannel> tags);

} // namespace halvane
