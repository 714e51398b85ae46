#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QFont;
class QPaintDevice;

namespace halvane {

class ProfileStore;

// Text styles are the sections "Style.N" of the configuration, numbered from 0 without
// gaps; a style is never deleted, its number is its identity. Each style has three
// components, each with its own keys under a one-letter prefix ("M.VAlign"): the value in
// its normal state, the value in its highlighted state and the caption.
inline constexpr std::array kStyleComponents{'M', 'A', 'D'};

// "VAlign" holds the horizontal alignment: 1 right, 2 centred, anything else left.
inline constexpr int kStyleAlignRight = 1;
inline constexpr int kStyleAlignCentre = 2;
inline constexpr int kStyleAlignLeft = 3;

std::string StyleSection(int style);
// A component's key: "M.VAlign" for 'M' and "VAlign".
std::string StyleKey(char prefix, std::string_view name);

// How a style is listed: its `Name`, or "Style N" numbered from 1 when the name is empty.
std::string StyleDisplayName(const ProfileStore& config, int style);
// One entry per style from "Style.0" up to the first absent section.
std::vector<std::string> StyleListNames(const ProfileStore& config);

// Writes `name` into the first style number whose section is absent, so that every
// other key of the new style reads as its default. The new number, or nothing when the
// file could not be written.
std::optional<int> AddStyle(ProfileStore& config, std::string_view name);

// A text colour; only the low 8 bits of each stored part count.
struct StyleColour {
    int red = 255;
    int green = 255;
    int blue = 255;
    bool operator==(const StyleColour&) const = default;
};

// A component's font as the font dialog edits it. The height is the platform's font
// height in pixels: negative the character height without internal leading, positive
// the cell height. The dialog's own default height (10) differs from drawing's (16).
struct StyleFont {
    std::string face = "Arial"; // stored bytes
    int height = 10;
    bool bold = false;
    bool italic = false;
    bool operator==(const StyleFont&) const = default;
};

// Keys that are absent or do not hold a number read as their defaults.
StyleFont ReadStyleFont(const ProfileStore& config, int style, char prefix);
StyleColour ReadStyleColour(const ProfileStore& config, int style, char prefix);
// The stored alignment, 2 (centred) by default.
int ReadStyleAlignment(const ProfileStore& config, int style, char prefix);
// The offset the editor shows: 0 when absent, for the caption too (drawing uses 20).
int ReadStyleOffset(const ProfileStore& config, int style, char prefix);

// Each writes its keys in one file write; false when the file could not be written.
bool WriteStyleFont(ProfileStore& config, int style, char prefix, const StyleFont& font);
bool WriteStyleColour(ProfileStore& config, int style, char prefix, const StyleColour& colour);

// The font the font dialog starts from: the stored height applied directly as a pixel
// height on `device`, given to the dialog in points.
QFont DialogFont(const StyleFont& font, const QPaintDevice& device);
// What the dialog's choice stores: its face (the stored bytes of `shown` when unchanged),
// bold, italic and its height as a negative character height in pixels on `device`.
StyleFont ChosenStyleFont(const QFont& chosen, const StyleFont& shown, const QPaintDevice& device);

} // namespace halvane
