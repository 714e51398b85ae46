#include "ScreenProperties.h"

#include "BitmapFile.h"
#include "DataRoot.h"
#include "PictureFile.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "StoredText.h"

namespace halvane {

namespace {

constexpr std::string_view kBitmapKey = "Background.Bitmap";
constexpr std::string_view kColourKey = "Background.Solid.Color";
constexpr uint32_t kColourBits = 0xFFFFFF;
// A picture side of this many pixels or fewer leaves the screen's side as it is.
constexpr int kSmallestBackgroundSide = 10;

uint32_t ReadColour(const ProfileStore& screenFile) {
    return static_cast<uint32_t>(screenFile.ReadInteger(kScreenGeneralSection, kColourKey, 0)) &
           kColourBits;
}

std::string ColourText(const ProfileStore& screenFile, uint32_t colour) {
    const std::string stored = screenFile.ReadString(kScreenGeneralSection, kColourKey, "");
    return !stored.empty() && ReadColour(screenFile) == colour ? stored : std::to_string(colour);
}

} // namespace

ScreenPropertiesValues LoadScreenProperties(const ProfileStore& screenFile,
                                            std::string_view caption, QSize clientSize) {
    return {StoredTextToUtf8(caption),
            StoredTextToUtf8(screenFile.ReadString(kScreenGeneralSection, kBitmapKey, "")),
            ReadColour(screenFile), clientSize.width(), clientSize.height()};
}

bool SaveScreenProperties(ProfileStore& screenFile, const ScreenPropertiesValues& values,
                          QPoint position, QSize clientSize) {
    ProfileStore::Batch batch(screenFile);
    const std::string bitmap =
        TextToStore(values.bitmap, screenFile.ReadString(kScreenGeneralSection, kBitmapKey, ""));
    screenFile.WriteString(kScreenGeneralSection, kBitmapKey, bitmap);
    screenFile.WriteString(kScreenGeneralSection, kColourKey,
                           ColourText(screenFile, values.colour & kColourBits));
    screenFile.WriteInteger(kScreenGeneralSection, "Left", position.x());
    screenFile.WriteInteger(kScreenGeneralSection, "Top", position.y());
    screenFile.WriteInteger(kScreenGeneralSection, "Width", clientSize.width());
    screenFile.WriteInteger(kScreenGeneralSection, "Height", clientSize.height());
    return batch.Commit();
}

QColor ColourFromStored(uint32_t stored) {
    return QColor(static_cast<int>(stored & 0xFF), static_cast<int>((stored >> 8) & 0xFF),
                  static_cast<int>((stored >> 16) & 0xFF));
}

uint32_t ColourToStore(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<uint32_t>(rgb.red()) | static_cast<uint32_t>(rgb.green()) << 8 |
           static_cast<uint32_t>(rgb.blue()) << 16;
}

std::filesystem::path BackgroundPicturePath(std::string_view stored) {
    if (stored.empty())
        return {};
    if (IsAbsoluteStoredPath(stored))
        return NativeSeparators(stored);
    return ResolveDataPath("cfg\\" + std::string(stored));
}

std::optional<QImage> LoadBackgroundPicture(const std::filesystem::path& path) {
    if (path.empty())
        return std::nullopt;
    const std::optional<QByteArray> file = ReadPictureFile(path);
    if (!file)
        return std::nullopt;
    return DecodeBitmapFile(*file);
}

QSize ClientSizeForBackground(QSize clientSize, QSize picture) {
    return {picture.width() > kSmallestBackgroundSide ? picture.width() : clientSize.width(),
            picture.height() > kSmallestBackgroundSide ? picture.height() : clientSize.height()};
}

} // namespace halvane
