#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;

// What the screen properties dialog shows of one screen: texts as UTF-8, the background
// colour as the screen file stores it (0x00BBGGRR), the client size in pixels.
struct ScreenPropertiesValues {
    std::string title;
    std::string bitmap; // "Background.Bitmap": a path, absolute or relative to "cfg\"
    uint32_t colour = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenPropertiesValues&) const = default;
};

// The values for a screen captioned `caption` (stored bytes) whose client area is
// `clientSize`; background file and colour from the screen file's "General" section. A
// colour that is not a number reads as black, and only its colour bits count.
ScreenPropertiesValues LoadScreenProperties(const ProfileStore& screenFile,
                                            std::string_view caption, QSize clientSize);

// Writes "Background.Bitmap", "Background.Solid.Color", then the window's `position` as
// "Left" and "Top" and `clientSize` as "Width" and "Height", in one file write. A
// background file or colour left as it was shown keeps its stored text, so that nothing
// the dialog could not show is lost. False when the file could not be written.
bool SaveScreenProperties(ProfileStore& screenFile, const ScreenPropertiesValues& values,
                          QPoint position, QSize clientSize);

// A screen file colour 0x00BBGGRR and back; bits above the colour are ignored.
QColor ColourFromStored(uint32_t stored);
uint32_t ColourToStore(const QColor& colour);

// The file of a stored "Background.Bitmap": an absolute path as it is, a relative one in
// the data root's "cfg\" folder; an empty path for an empty value.
std::filesystem::path BackgroundPicturePath(std::string_view stored);

// The bitmap of a background file, read whatever its name. Nothing for an empty path, a
// file that cannot be read (said on stderr) or one that is not a complete bitmap.
std::optional<QImage> LoadBackgroundPicture(const std::filesystem::path& path);

// The client size a chosen background picture gives the screen: each side of the picture
// that is more than 10 pixels long, the screen's own for the others.
QSize ClientSizeForBackground(QSize clientSize, QSize picture);

} // namespace halvane
